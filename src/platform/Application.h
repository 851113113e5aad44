#pragma once

#include "platform/Window.h"

#include <QApplication>
#include <QList>

namespace dravelo {

// The application object. It stays running with no window open: the client
// lives in the system tray.
class Application : public QApplication {
    Q_OBJECT

public:
    Application(int& argc, char** argv);

    // Every window of the client, visible or not, in the order of creation.
    QList<Window*> windows() const { return Window::all(); }

    static Application* shared();
};

} // namespace dravelo

#pragma once

#include <QApplication>

namespace dravelo {

// The application object. It stays running with no window open: the client
// lives in the system tray.
class Application : public QApplication {
    Q_OBJECT

public:
    Application(int& argc, char** argv);
};

} // namespace dravelo

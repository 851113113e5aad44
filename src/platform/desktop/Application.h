#pragma once

#include "platform/desktop/Attention.h"

#include <QApplication>
#include <QHash>

namespace dravelo {

// The application object. It stays running with no window open: the client
// lives in the system tray.
//
// Attention acts on the client's windows: a request marks them as demanding
// attention (a window manager shows that until the user activates the
// window), activation raises the front one. Both take effect once control
// returns to the event loop, so that a window shown right after the request
// is marked too.
class Application : public QApplication, public Attention {
    Q_OBJECT

public:
    Application(int& argc, char** argv);

    int requestUserAttention(Request request) override;
    void cancelUserAttentionRequest(int requestNumber) override;
    void activateIgnoringOtherApps(bool flag) override;

    // How long an informational request marks the windows.
    static constexpr int informationalRequestMs = 1500;

private:
    static void alertWindows(int durationMs);

    int lastRequestNumber_ = 0;
    QHash<int, Request> outstanding_;
};

} // namespace dravelo

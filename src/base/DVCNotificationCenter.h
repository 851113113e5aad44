#pragma once

#include "platform/desktop/UserNotificationCenter.h"

#include <QString>

#include <deque>
#include <functional>

namespace dravelo {

// Shows short texts to the user as desktop notifications titled "Dravelo
// Client", with the default sound. Each notification takes the place of the
// previous one, so the user sees only the latest. The back-end is chosen once,
// at construction: the desktop's notification service when the session bus
// offers it, else the message function given (the tray icon's balloon). Use
// it on the UI thread.
class DVCNotificationCenter {
public:
    // Shows a message outside the notification service; false when it cannot
    // (for instance when there is no system tray).
    using MessageFunction = std::function<bool(const QString& title, const QString& body)>;

    explicit DVCNotificationCenter(MessageFunction fallback = {});
    virtual ~DVCNotificationCenter() = default;

    DVCNotificationCenter(const DVCNotificationCenter&) = delete;
    DVCNotificationCenter& operator=(const DVCNotificationCenter&) = delete;

    // Shows the text as the body of a notification. Returns at once; failures
    // are logged, not reported.
    virtual void sendNotification(const QString& text);

private:
    enum class Backend { Desktop, Fallback, None };

    void postNext();
    void finishPost(const UserNotificationCenter::PostResult& result);
    void showWithFallback(const QString& text);

    UserNotificationCenter desktop_;
    MessageFunction fallback_;
    Backend backend_ = Backend::None;
    uint lastId_ = 0; // the service's id of the notification now shown
    std::deque<QString> waiting_;
    bool posting_ = false;
};

} // namespace dravelo

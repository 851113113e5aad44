#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>

namespace dravelo {

// Desktop notifications through the org.freedesktop.Notifications service on
// the session bus. Every call has a short bounded wait, so a service that hangs
// never holds up the caller for long; posting does not wait at all. Use it on
// one thread that runs an event loop (the UI thread): results arrive there.
class UserNotificationCenter {
public:
    // One notification as the service shows it. The body is plain text.
    struct Notification {
        QString appName;
        QString summary;
        QString body;
        QString soundName;    // a sound theme name, e.g. "message-new-instant"
        QString desktopEntry; // our .desktop file's name without the extension
        uint replacesId = 0;  // the service's id of a notification to replace, 0 for none
    };

    // The service's answer: its id for the notification, or why it failed.
    struct PostResult {
        uint id = 0;
        QString error; // empty on success
    };
    using PostCallback = std::function<void(const PostResult& result)>;

    struct Availability {
        bool available = false;
        QString reason; // why not, when not available
    };

    static constexpr std::chrono::milliseconds kCallTimeout{2000};

    // Uses the session bus; without one the service is simply unavailable.
    UserNotificationCenter();
    explicit UserNotificationCenter(const QDBusConnection& bus);

    // Whether the service owns its name on the bus or the bus can start it.
    Availability availability() const;

    // Sends the notification and returns at once. `done` runs later, from the
    // event loop, with the service's answer or an error (at the latest when
    // the call times out). It never runs after this object is destroyed.
    void post(const Notification& notification, PostCallback done);

private:
    QDBusConnection bus_;
    QObject pendingCalls_; // parent of the watchers of calls still in flight
};

} // namespace dravelo

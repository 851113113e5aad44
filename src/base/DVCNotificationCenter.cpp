#include "base/DVCNotificationCenter.h"

#include "platform/core/Log.h"

namespace dravelo {
namespace {

const QString kTitle = QStringLiteral("Dravelo Client");
const QString kDefaultSound = QStringLiteral("message-new-instant");
const QString kDesktopEntry = QStringLiteral("com.dravelo.client");

void logUndelivered(const QString& text) {
    log(QStringLiteral("No notification service available: %1").arg(text));
}

} // namespace

DVCNotificationCenter::DVCNotificationCenter(MessageFunction fallback)
    : fallback_(std::move(fallback)) {
    const UserNotificationCenter::Availability desktop = desktop_.availability();
    if (desktop.available) {
        backend_ = Backend::Desktop;
        return;
    }
    backend_ = fallback_ ? Backend::Fallback : Backend::None;
    log(QStringLiteral("Desktop notifications unavailable (%1); %2")
            .arg(desktop.reason, backend_ == Backend::Fallback
                                     ? QStringLiteral("using the tray icon's messages")
                                     : QStringLiteral("notifications go to this log")));
}

void DVCNotificationCenter::sendNotification(const QString& text) {
    switch (backend_) {
    case Backend::Desktop:
        waiting_.push_back(text);
        if (!posting_) {
            postNext();
        }
        return;
    case Backend::Fallback:
        showWithFallback(text);
        return;
    case Backend::None:
        logUndelivered(text);
        return;
    }
}

// Posts one notification at a time: each one replaces the previous one by the
// id the service gave it, so that id must be known before the next is sent.
void DVCNotificationCenter::postNext() {
    posting_ = true;
    UserNotificationCenter::Notification notification;
    notification.appName = kTitle;
    notification.summary = kTitle;
    notification.body = waiting_.front();
    notification.soundName = kDefaultSound;
    notification.desktopEntry = kDesktopEntry;
    notification.replacesId = lastId_;
    waiting_.pop_front();
    desktop_.post(notification,
                  [this](const UserNotificationCenter::PostResult& result) { finishPost(result); });
}

void DVCNotificationCenter::finishPost(const UserNotificationCenter::PostResult& result) {
    if (result.error.isEmpty()) {
        lastId_ = result.id;
    } else {
        log(QStringLiteral("Error occurred sending notification: %1").arg(result.error));
    }
    posting_ = false;
    if (!waiting_.empty()) {
        postNext();
    }
}

void DVCNotificationCenter::showWithFallback(const QString& text) {
    if (!fallback_(kTitle, text)) {
        logUndelivered(text);
    }
}

} // namespace dravelo

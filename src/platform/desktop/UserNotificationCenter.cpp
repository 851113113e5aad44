#include "platform/desktop/UserNotificationCenter.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QStringList>
#include <QVariantMap>

namespace dravelo {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kBusService = QStringLiteral("org.freedesktop.DBus");
const QString kBusPath = QStringLiteral("/org/freedesktop/DBus");

int timeoutMs() {
    return static_cast<int>(UserNotificationCenter::kCallTimeout.count());
}

// Servers may read a subset of HTML in bodies; escaping the three markup
// characters makes them show the text exactly as given.
QString escapeMarkup(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QStringLiteral("&amp;"));
    escaped.replace(QLatin1Char('<'), QStringLiteral("&lt;"));
    escaped.replace(QLatin1Char('>'), QStringLiteral("&gt;"));
    return escaped;
}

QString describe(const QDBusError& error) {
    return error.message().isEmpty() ? error.name() : error.message();
}

// A method call on the bus daemon itself, answered or failed within the bound.
QDBusMessage askBus(const QDBusConnection& bus, const QString& method, const QVariantList& args) {
    QDBusMessage call = QDBusMessage::createMethodCall(kBusService, kBusPath, kBusService, method);
    call.setArguments(args);
    return bus.call(call, QDBus::Block, timeoutMs());
}

QDBusMessage notifyCall(const UserNotificationCenter::Notification& notification) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    const QVariantMap hints{
        {QStringLiteral("sound-name"), notification.soundName},
        {QStringLiteral("desktop-entry"), notification.desktopEntry},
    };
    constexpr int kServerDefaultExpiry = -1;
    call.setArguments({notification.appName, notification.replacesId, QString(),
                       notification.summary, escapeMarkup(notification.body), QStringList(), hints,
                       kServerDefaultExpiry});
    return call;
}

UserNotificationCenter::PostResult resultOf(const QDBusMessage& reply) {
    if (reply.type() == QDBusMessage::ErrorMessage) {
        return {0, describe(QDBusError(reply))};
    }
    if (reply.signature() != QLatin1String("u")) {
        return {0, QStringLiteral("unexpected answer from %1 (signature \"%2\")")
                       .arg(kService, reply.signature())};
    }
    return {reply.arguments().constFirst().toUInt(), QString()};
}

} // namespace

UserNotificationCenter::UserNotificationCenter()
    : UserNotificationCenter(QDBusConnection::sessionBus()) {}

UserNotificationCenter::UserNotificationCenter(const QDBusConnection& bus)
    : bus_(bus) {}

UserNotificationCenter::Availability UserNotificationCenter::availability() const {
    if (!bus_.isConnected()) {
        return {false, QStringLiteral("no session bus: %1").arg(describe(bus_.lastError()))};
    }
    const QDBusMessage owned = askBus(bus_, QStringLiteral("NameHasOwner"), {kService});
    if (owned.type() == QDBusMessage::ErrorMessage) {
        return {false, describe(QDBusError(owned))};
    }
    if (owned.arguments().value(0).toBool()) {
        return {true, QString()};
    }
    const QDBusMessage activatable = askBus(bus_, QStringLiteral("ListActivatableNames"), {});
    if (activatable.type() == QDBusMessage::ErrorMessage) {
        return {false, describe(QDBusError(activatable))};
    }
    if (activatable.arguments().value(0).toStringList().contains(kService)) {
        return {true, QString()};
    }
    return {false,
            QStringLiteral("%1 is not on the session bus and cannot be started").arg(kService)};
}

void UserNotificationCenter::post(const Notification& notification, PostCallback done) {
    auto* watcher = new QDBusPendingCallWatcher(
        bus_.asyncCall(notifyCall(notification), timeoutMs()), &pendingCalls_);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &pendingCalls_,
                     [watcher, done = std::move(done)] {
                         watcher->deleteLater();
                         done(resultOf(watcher->reply()));
                     });
}

} // namespace dravelo

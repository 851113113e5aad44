// Desktop notifications against real session buses. Each suite expects the
// environment that tests/integration/notifications/run-scenario.sh sets up:
//   NotificationDelivery     a recorder owns the notification service
//   NotificationHungService  a recorder owns the service and never answers
//   NotificationWithoutService  no service on the bus, or no bus at all
// NOTIFICATION_RECORD names the recorder's file of Notify calls.
#include "base/DVCNotificationCenter.h"
#include "platform/desktop/UserNotificationCenter.h"
#include "support/LogRecorder.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <chrono>
#include <functional>
#include <utility>
#include <vector>

using dravelo::DVCNotificationCenter;
using dravelo::UserNotificationCenter;
using dravelo::test::LogRecorder;

namespace {

QStringList linesStartingWith(const LogRecorder& log, const QString& prefix) {
    QStringList found;
    for (const QString& line : log.lines()) {
        if (line.startsWith(prefix)) {
            found << line;
        }
    }
    return found;
}

// Runs the event loop until the condition holds; the deadline only guards
// against a hang.
bool waitUntil(const std::function<bool()>& condition) {
    QDeadlineTimer deadline(std::chrono::seconds(30));
    while (!condition() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return condition();
}

// The Notify calls the recorder has written out in full so far.
std::vector<QJsonObject> recordedCalls() {
    QFile file(qEnvironmentVariable("NOTIFICATION_RECORD"));
    std::vector<QJsonObject> calls;
    if (!file.open(QIODevice::ReadOnly)) {
        return calls;
    }
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (line.endsWith('\n')) {
            calls.push_back(QJsonDocument::fromJson(line).object());
        }
    }
    return calls;
}

using Message = std::pair<QString, QString>;

// A message function that records what it is asked to show.
DVCNotificationCenter::MessageFunction recordingFallback(std::vector<Message>& shown,
                                                         bool canShow = true) {
    return [&shown, canShow](const QString& title, const QString& body) {
        shown.emplace_back(title, body);
        return canShow;
    };
}

} // namespace

TEST(NotificationDelivery, EachNotificationReplacesThePreviousOne) {
    LogRecorder log;
    std::vector<Message> fallbackShown;
    DVCNotificationCenter center(recordingFallback(fallbackShown));

    center.sendNotification(QStringLiteral("Connection Error - Please check your settings"));
    center.sendNotification(QStringLiteral("Disconnected <b>from</b> R&D"));
    ASSERT_TRUE(waitUntil([] { return recordedCalls().size() == 2; }));

    const std::vector<QJsonObject> calls = recordedCalls();
    const QJsonObject& first = calls[0];
    const QJsonObject& second = calls[1];
    for (const QJsonObject& call : calls) {
        EXPECT_EQ(call["app_name"].toString(), "Dravelo Client");
        EXPECT_EQ(call["summary"].toString(), "Dravelo Client");
        EXPECT_EQ(call["hints"]["sound-name"].toString(), "message-new-instant");
        EXPECT_EQ(call["hints"]["desktop-entry"].toString(), "com.dravelo.client");
        EXPECT_EQ(call["expire_timeout"].toInt(), -1);
        EXPECT_TRUE(call["actions"].toArray().isEmpty());
    }
    EXPECT_EQ(first["body"].toString(), "Connection Error - Please check your settings");
    EXPECT_EQ(first["replaces_id"].toInt(), 0);
    EXPECT_NE(first["answered_id"].toInt(), 0);
    EXPECT_EQ(second["body"].toString(), "Disconnected &lt;b&gt;from&lt;/b&gt; R&amp;D");
    EXPECT_EQ(second["replaces_id"].toInt(), first["answered_id"].toInt());

    EXPECT_TRUE(fallbackShown.empty());
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join('\n').toStdString();
}

TEST(NotificationHungService, UnansweredCallsAreLoggedAndLaterOnesStillSent) {
    LogRecorder log;
    std::vector<Message> fallbackShown;
    DVCNotificationCenter center(recordingFallback(fallbackShown));
    const QString failure = QStringLiteral("Error occurred sending notification: ");

    center.sendNotification(QStringLiteral("Connected to Server"));
    center.sendNotification(QStringLiteral("New Print Job Found"));
    // Sending does not wait for the service's answer.
    EXPECT_TRUE(log.lines().isEmpty());

    ASSERT_TRUE(waitUntil([&] { return linesStartingWith(log, failure).size() == 2; }))
        << log.lines().join('\n').toStdString();
    const std::vector<QJsonObject> calls = recordedCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1]["body"].toString(), "New Print Job Found");
    EXPECT_EQ(calls[1]["replaces_id"].toInt(), 0);
    EXPECT_TRUE(fallbackShown.empty());
}

TEST(NotificationWithoutService, ServiceIsReportedUnavailableWithAReason) {
    const UserNotificationCenter::Availability availability =
        UserNotificationCenter().availability();
    EXPECT_FALSE(availability.available);
    EXPECT_FALSE(availability.reason.isEmpty());
}

TEST(NotificationWithoutService, MessageFunctionShowsTheNotification) {
    LogRecorder log;
    std::vector<Message> shown;
    DVCNotificationCenter center(recordingFallback(shown));

    center.sendNotification(QStringLiteral("New Print Job Found"));

    EXPECT_EQ(shown, (std::vector<Message>{{"Dravelo Client", "New Print Job Found"}}));
    EXPECT_TRUE(linesStartingWith(log, "No notification service available").isEmpty());
}

TEST(NotificationWithoutService, TextIsLoggedWhenNothingCanShowIt) {
    LogRecorder log;
    std::vector<Message> shown;
    DVCNotificationCenter withoutTray(recordingFallback(shown, false));
    DVCNotificationCenter withoutFallback;

    withoutTray.sendNotification(QStringLiteral("Connected to Server"));
    withoutFallback.sendNotification(QStringLiteral("Disconnected from Dravelo Server"));

    EXPECT_EQ(linesStartingWith(log, "No notification service available: "),
              (QStringList{"No notification service available: Connected to Server",
                           "No notification service available: Disconnected from Dravelo Server"}));
    EXPECT_EQ(shown.size(), 1u);
}

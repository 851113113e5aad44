#include "support/LogRecorder.h"
#include "support/network/FakeNetworkAccess.h"

#include "platform/core/SerialQueue.h"
#include "platform/core/UserDefaults.h"
#include "server/DVCWebsocket.h"
#include "services/DVCNotificationCenter.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using dravelo::DVCKeyringItem;
using dravelo::DVCNotificationCenter;
using dravelo::DVCWebsocket;
using dravelo::DVCWebsocketContext;
using dravelo::InterfaceAddress;
using dravelo::test::FakeNetworkAccess;
using dravelo::test::FakeRequest;
using dravelo::test::FakeWebSocket;
using dravelo::test::LogRecorder;
using State = dravelo::DVCWebsocket::ConnectionState;

namespace {

const QString connected = QStringLiteral("Connected to Server");
const QString connectionError = QStringLiteral("Connection Error - Please check your settings");
const QString disconnected = QStringLiteral("Disconnected from Dravelo Server");
const QString newJob = QStringLiteral("New Print Job Found");

class RecordingCenter : public DVCNotificationCenter {
public:
    void sendNotification(const QString& text) override { texts.append(text); }
    QStringList texts;
};

QString jobPackage(const QJsonObject& data) {
    const QJsonObject package{{"type", 200002}, {"size", 0}, {"data", data}};
    return QString::fromUtf8(QJsonDocument(package).toJson(QJsonDocument::Compact));
}

QJsonObject jobData(const QString& dataFile = QStringLiteral("job1.ppf"),
                    const QString& configFile = QStringLiteral("job1.pcf")) {
    return {{"PrintJobId", "42"}, {"DataFile", dataFile}, {"ConfigFile", configFile}};
}

// A session on the test's thread: its work queue runs work at once, the
// network is fake and the test plays the server.
class ServerSession : public ::testing::Test {
protected:
    ServerSession() {
        QDir().mkpath(home());
        session = std::make_unique<DVCWebsocket>(
            DVCWebsocketContext{defaults, home(), network, std::make_shared<dravelo::SerialQueue>(),
                                [this] { return credentials; }});
        session->setJobLock(jobLock);
        session->setNotificationCenter(center);
        session->setStateObserver([this](State state, const QString& address) {
            states.append(DVCWebsocket::describe(state, address));
        });
    }

    QString home() const { return root.filePath(QStringLiteral("home")); }
    void setServiceUrl(const QString& url) {
        QSettings(defaults.filePath(), QSettings::IniFormat).setValue("serviceUrl", url);
    }
    QStringList notifications() {
        QCoreApplication::processEvents();
        return center->texts;
    }
    FakeWebSocket& openSession() {
        session->connect();
        FakeWebSocket& socket = network->lastSocket();
        socket.accept();
        return socket;
    }
    FakeRequest& request(int index) { return *network->requests.at(index); }
    bool jobLockHeld() {
        if (!jobLock.try_lock()) {
            return true;
        }
        jobLock.unlock();
        return false;
    }

    QTemporaryDir root;
    dravelo::UserDefaults defaults{root.filePath(QStringLiteral("dravelo.conf"))};
    std::shared_ptr<FakeNetworkAccess> network = std::make_shared<FakeNetworkAccess>();
    std::optional<DVCKeyringItem> credentials;
    std::shared_ptr<RecordingCenter> center = std::make_shared<RecordingCenter>();
    QStringList states;
    std::mutex jobLock;
    LogRecorder logs;
    std::unique_ptr<DVCWebsocket> session;
};

TEST_F(ServerSession, AuthorizationIsBasicOverTheStoredItemOnOneLine) {
    const QString longAccount(40, QLatin1Char('a'));
    const QString longPassword(40, QLatin1Char('b'));
    const struct {
        std::optional<DVCKeyringItem> item;
        QString credentials;
    } cases[] = {
        {std::nullopt, QStringLiteral(":")},
        {DVCKeyringItem(QStringLiteral("user"), QByteArray("pass")), QStringLiteral("user:pass")},
        {DVCKeyringItem(std::nullopt, QByteArray("pass")), QStringLiteral(":pass")},
        {DVCKeyringItem(QStringLiteral("user"), std::nullopt), QStringLiteral("user:")},
        {DVCKeyringItem(QStringLiteral("jürgen"), QStringLiteral("pässwörd").toUtf8()),
         QStringLiteral("jürgen:pässwörd")},
        {DVCKeyringItem(longAccount, longPassword.toUtf8()), longAccount + ':' + longPassword},
    };
    for (const auto& c : cases) {
        credentials = c.item;
        const QString value = session->auth();
        SCOPED_TRACE(c.credentials.toStdString());
        ASSERT_TRUE(value.startsWith(QStringLiteral("Basic ")));
        EXPECT_FALSE(value.contains(QLatin1Char('\n')));
        EXPECT_EQ(QByteArray::fromBase64(value.mid(6).toLatin1()), c.credentials.toUtf8());
    }
    credentials.reset();
    EXPECT_EQ(session->auth(), QStringLiteral("Basic Og=="));
}

TEST_F(ServerSession, ClientPackageIsPrettyJsonWithNameAndAddresses) {
    for (const QString& name : {QString(), QString(""), QStringLiteral("Desk 7")}) {
        if (!name.isNull()) {
            QSettings(defaults.filePath(), QSettings::IniFormat).setValue("clientName", name);
        }
        const QByteArray bytes = session->genClientPackageData();
        const QJsonObject package = QJsonDocument::fromJson(bytes).object();
        EXPECT_TRUE(bytes.contains("\n    \"data\": {"));
        EXPECT_EQ(package.value("type").toInteger(), 200001);
        EXPECT_EQ(package.value("size").toInteger(-1), 0);
        const QJsonObject data = package.value("data").toObject();
        EXPECT_EQ(data.value("MachineName").toString(QStringLiteral("missing")), name);
        EXPECT_EQ(data.value("IPAddress").toString(), DVCWebsocket::getIP());
    }
}

TEST(ServerSessionAddresses, IPv4AddressesRunTogetherWithoutLoopback) {
    const InterfaceAddress lo{QStringLiteral("lo"), true, QStringLiteral("127.0.0.1")};
    const InterfaceAddress lo0{QStringLiteral("lo0"), true, QStringLiteral("127.0.0.1")};
    const InterfaceAddress eth{QStringLiteral("eth0"), true, QStringLiteral("192.0.2.10")};
    const InterfaceAddress wlan{QStringLiteral("wlan0"), true, QStringLiteral("198.51.100.7")};
    const InterfaceAddress packet{QStringLiteral("eth0"), false, {}};
    const struct {
        QList<InterfaceAddress> list;
        QString text;
    } cases[] = {
        {{}, {}},
        {{lo}, {}},
        {{lo0}, {}},
        {{packet, lo, eth, wlan}, QStringLiteral("192.0.2.10198.51.100.7")},
        {{wlan, eth}, QStringLiteral("198.51.100.7192.0.2.10")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DVCWebsocket::getIP(c.list), c.text);
    }
}

TEST_F(ServerSession, OpeningAnnouncesTheClientAfterTheNotification) {
    setServiceUrl(QStringLiteral("print.example:8080"));
    credentials = DVCKeyringItem(QStringLiteral("user"), QByteArray("pass"));
    session->connect();
    FakeWebSocket& socket = network->socket(0);
    EXPECT_EQ(socket.url.toString(),
              QStringLiteral("ws://print.example:8080/SessionStorage/api/websocket"));
    EXPECT_EQ(socket.headers, (dravelo::HttpHeaders{{"Authorization", "Basic dXNlcjpwYXNz"}}));
    EXPECT_TRUE(notifications().isEmpty());

    socket.accept();
    EXPECT_EQ(notifications(), QStringList{connected});
    EXPECT_EQ(socket.sent, QByteArrayList{session->genClientPackageData()});
    EXPECT_TRUE(logs.contains(QStringLiteral("Opened")));
    EXPECT_EQ(states, (QStringList{"Connecting to the print server at print.example:8080",
                                   "Connected to the print server at print.example:8080"}));
}

TEST_F(ServerSession, FailuresAndClosesFollowTheStateTable) {
    // Not yet open: only the connection error.
    session->disconnect();
    session->connect();
    session->disconnect();
    EXPECT_TRUE(notifications().isEmpty());
    network->socket(0).fail(QStringLiteral("Connection refused"));
    EXPECT_EQ(notifications(), QStringList{connectionError});
    EXPECT_TRUE(logs.contains(QStringLiteral("Error occured with websocket: Connection refused")));
    EXPECT_EQ(states.last(), QStringLiteral("Not connected to the print server"));

    // Open: the error, then the disconnection.
    center->texts.clear();
    FakeWebSocket& second = openSession();
    second.fail(QStringLiteral("Remote host closed"));
    EXPECT_EQ(notifications(), (QStringList{connected, connectionError, disconnected}));

    // Closed by the server: nothing shown, yet disconnect still tells.
    center->texts.clear();
    FakeWebSocket& third = openSession();
    third.closeByServer();
    EXPECT_EQ(notifications(), QStringList{connected});
    EXPECT_EQ(states.last(), QStringLiteral("Not connected to the print server"));
    session->disconnect();
    session->disconnect();
    EXPECT_EQ(notifications(), (QStringList{connected, disconnected, disconnected}));
}

TEST_F(ServerSession, ReconnectingCutsTheOpenSocketWithoutClosingIt) {
    FakeWebSocket& first = openSession();
    session->connect();
    FakeWebSocket& second = network->socket(1);
    EXPECT_EQ(first.closeCalls, 0);
    EXPECT_FALSE(first.hasCallbacks());

    // The new socket is the session's only once it opened.
    session->disconnect();
    EXPECT_EQ(second.closeCalls, 0);
    EXPECT_EQ(notifications(), QStringList{connected});
    second.accept();
    session->disconnect();
    EXPECT_EQ(second.closeCalls, 1);
    EXPECT_EQ(first.closeCalls, 0);

    // An attempt that never opened is given up by the next connect.
    session->connect();
    session->connect();
    EXPECT_EQ(network->socket(2).closeCalls, 1);
    EXPECT_FALSE(network->socket(2).hasCallbacks());
    EXPECT_TRUE(network->socket(2).released);
    EXPECT_FALSE(first.released);
}

TEST_F(ServerSession, BadMessagesAreLoggedAndLeaveTheConnectionOpen) {
    const QString refusedName =
        QStringLiteral("Refused a job package: %1 is not a plain file name");
    const struct {
        QString message;
        QString logLine;
    } cases[] = {
        {"not json", "Got an error: illegal value"},
        {"\"text\"", "Got an error: illegal value"},
        {"[200002]", "Got an error: the message is a JSON array, not an object"},
        {"{\"type\":200001}", "Received a Client Package"},
        {"{\"size\":0}", "ERROR! Invalid Package Type"},
        {"{\"type\":\"200002\"}", "ERROR! Invalid Package Type"},
        {"{\"type\":200002.5}", "ERROR! Invalid Package Type"},
        {"{\"type\":200002,\"data\":[]}",
         "Got an error: the job package's \"data\" is not an object"},
        {"{\"type\":200002}", "Got an error: the job package's \"data\" is not an object"},
        {jobPackage({{"PrintJobId", "1"}, {"DataFile", "a.ppf"}}),
         "Got an error: the job package's \"ConfigFile\" is missing or not a string"},
        {jobPackage({{"PrintJobId", 1}, {"DataFile", "a.ppf"}, {"ConfigFile", "a.pcf"}}),
         "Got an error: the job package's \"PrintJobId\" is missing or not a string"},
        {jobPackage(jobData("../a.ppf")), refusedName.arg("\"../a.ppf\"")},
        {jobPackage(jobData("a.ppf", "..")), refusedName.arg("\"..\"")},
        {jobPackage(jobData(".")), refusedName.arg("\".\"")},
        {jobPackage(jobData("")), refusedName.arg("\"\"")},
        {jobPackage(jobData("/etc/passwd")), refusedName.arg("\"/etc/passwd\"")},
        {jobPackage(jobData(QString::fromUtf8("a\0b.ppf", 7))),
         refusedName.arg("\"a\\u0000b.ppf\"")},
        {jobPackage(jobData("a\r\nX: y.ppf")), refusedName.arg("\"a\\u000d\\u000aX: y.ppf\"")},
        {jobPackage({{"PrintJobId", "1\nX"}, {"DataFile", "a.ppf"}, {"ConfigFile", "a.pcf"}}),
         "Refused a job package: the job identifier \"1\\u000aX\" holds control characters"},
    };
    FakeWebSocket& socket = openSession();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        const int before = logs.count(QStringLiteral("Message Received"));
        socket.sendText(c.message);
        EXPECT_EQ(logs.count(QStringLiteral("Message Received")), before + 1);
        EXPECT_TRUE(logs.contains(QStringLiteral("Message %1").arg(c.message)));
        EXPECT_TRUE(logs.contains(c.logLine)) << logs.lines().join('\n').toStdString();
    }
    socket.sendBinaryFrame(12);
    EXPECT_TRUE(logs.contains(
        QStringLiteral("Got an error: ignored a binary message of 12 bytes from the server")));
    EXPECT_TRUE(network->requests.empty());
    EXPECT_EQ(socket.closeCalls, 0);
    EXPECT_EQ(notifications(), QStringList{connected});
    EXPECT_TRUE(QDir(home()).isEmpty());
}

TEST_F(ServerSession, JobIsDownloadedUnderTheLockThenDeletedAndAnnounced) {
    setServiceUrl(QStringLiteral("print.example:8080"));
    credentials = DVCKeyringItem(QStringLiteral("user"), QByteArray("pass"));
    FakeWebSocket& socket = openSession();

    socket.sendText(jobPackage(jobData()));
    socket.sendText(QStringLiteral("{\"type\":200001}")); // waits for the job
    ASSERT_EQ(network->requests.size(), 1u);
    EXPECT_TRUE(jobLockHeld());
    EXPECT_FALSE(logs.contains(QStringLiteral("Received a Client Package")));
    const FakeRequest& data = request(0);
    EXPECT_EQ(data.method, "GET");
    EXPECT_EQ(data.url.toString(),
              "http://print.example:8080/SessionStorage/api/printjob/file/job1.ppf/eoq");
    EXPECT_EQ(data.headers, (dravelo::HttpHeaders{{"Authorization", "Basic dXNlcjpwYXNz"},
                                                  {"File_Name", "job1.ppf"},
                                                  {"Print_Job_Id", "42"},
                                                  {"Print_Job_Type", "ppf"}}));
    EXPECT_EQ(data.filePath, home() + QStringLiteral("/job1.ppf"));

    network->complete(request(0), "%PDF-1.4 data");
    ASSERT_EQ(network->requests.size(), 2u);
    EXPECT_EQ(request(1).url.path(), "/SessionStorage/api/printjob/file/job1.pcf/eoq");
    EXPECT_EQ(request(1).header("Print_Job_Type"), "pcf");
    EXPECT_EQ(request(1).header("File_Name"), "job1.pcf");
    EXPECT_TRUE(jobLockHeld());
    EXPECT_EQ(notifications(), QStringList{connected});

    network->complete(request(1), "config");
    EXPECT_FALSE(jobLockHeld());
    ASSERT_EQ(network->requests.size(), 3u);
    const FakeRequest& removal = request(2);
    EXPECT_EQ(removal.method, "DELETE");
    EXPECT_EQ(removal.url.toString(), "http://print.example:8080/SessionStorage/api/PrintJob/42");
    EXPECT_EQ(removal.headers, (dravelo::HttpHeaders{{"Authorization", "Basic dXNlcjpwYXNz"},
                                                     {"Print_Job_Type", "delete"}}));
    EXPECT_EQ(notifications(), (QStringList{connected, newJob}));
    EXPECT_TRUE(logs.contains(QStringLiteral("Received a Client Package")));
    const QStringList road = logs.lines().filter(QRegularExpression("files|job from server"));
    EXPECT_EQ(road, (QStringList{"Downloading files", "Finished downloading files",
                                 "Deleting job from server"}));

    network->failTransport(request(2), QStringLiteral("Connection refused"));
    EXPECT_TRUE(logs.contains(QStringLiteral("Error occured when deleting,Connection refused")));
    QFile written(home() + QStringLiteral("/job1.ppf"));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), "%PDF-1.4 data");
}

TEST_F(ServerSession, FailedDownloadsStillDeleteAndAnnounceTheJob) {
    FakeWebSocket& socket = openSession();
    socket.sendText(jobPackage(jobData()));
    network->failTransport(request(0), QStringLiteral("Connection refused"));
    network->failTransport(request(1), QStringLiteral("Connection refused"));
    ASSERT_EQ(network->requests.size(), 3u);
    EXPECT_EQ(request(2).method, "DELETE");
    EXPECT_FALSE(jobLockHeld());
    EXPECT_EQ(notifications(), (QStringList{connected, newJob}));
    EXPECT_TRUE(QDir(home()).isEmpty());
}

TEST_F(ServerSession, JobWaitsForTheWatcherToReleaseTheLock) {
    FakeWebSocket& socket = openSession();
    jobLock.lock();
    socket.sendText(jobPackage(jobData()));
    QTest::qWait(50);
    EXPECT_TRUE(network->requests.empty());
    jobLock.unlock();
    QTRY_COMPARE(network->requests.size(), size_t(1));
}

TEST_F(ServerSession, StoppingCutsTheJobShortAndReleasesTheLock) {
    FakeWebSocket& socket = openSession();
    socket.sendText(jobPackage(jobData()));
    ASSERT_TRUE(jobLockHeld());
    session->stop();
    EXPECT_FALSE(jobLockHeld());
    EXPECT_EQ(network->requests.size(), 1u);
    EXPECT_EQ(socket.closeCalls, 1);
    EXPECT_TRUE(socket.released);
    EXPECT_EQ(notifications(), QStringList{connected});
    session->connect();
    EXPECT_EQ(network->sockets.size(), 1u);
}

} // namespace

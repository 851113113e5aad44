#include "base/JobLock.h"
#include "support/LogRecorder.h"
#include "support/network/FakeNetworkAccess.h"

#include "base/DVCNotificationCenter.h"
#include "platform/core/SerialQueue.h"
#include "platform/core/UserDefaults.h"
#include "server/DVCWebsocket.h"

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
using dravelo::HttpClient;
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
        startSession();
    }
    // Hand-overs to the UI thread still reach this fixture's lists.
    ~ServerSession() override {
        session.reset();
        QCoreApplication::sendPostedEvents();
    }

    void startSession() {
        context.queue = std::make_shared<dravelo::SerialQueue>();
        session = std::make_unique<DVCWebsocket>(context);
        session->setJobLock(jobLock);
        session->setNotificationCenter(center);
        session->setStateObserver([this](State state, const QString& address) {
            states.append(DVCWebsocket::describe(state, address));
            lacking.append(DVCWebsocket::lacksConnection(state, address));
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
    FakeRequest& lastRequest() { return *network->requests.back(); }
    // Everything in the home directory, hidden entries included.
    QStringList homeEntries() const {
        return QDir(home()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
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
    // Whether each state told shows the client as missing its connection.
    QList<bool> lacking;
    dravelo::JobLock jobLock;
    LogRecorder logs;
    DVCWebsocketContext context{defaults, home(), network, std::make_shared<dravelo::SerialQueue>(),
                                [this] { return credentials; }};
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
    EXPECT_EQ(lacking, (QList<bool>{true, false}));
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
    EXPECT_FALSE(lacking.contains(true)) << "with no server address there is nothing to miss";
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
    const QString nested = QString(5000, '[') + QString(5000, ']');
    const struct {
        QString message;
        QString logLine;
    } cases[] = {
        {"not json", "Got an error: illegal value"},
        {"\"text\"", "Got an error: illegal value"},
        {"[200002]", "Got an error: the message is a JSON array, not an object"},
        {nested, "Got an error: too deeply nested document"},
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
    };
    FakeWebSocket& socket = openSession();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.left(80).toStdString());
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

TEST_F(ServerSession, AMessageOver64KiBIsLoggedByItsStartAndLength) {
    FakeWebSocket& socket = openSession();
    const QString start = QStringLiteral("{\"type\":1,\"data\":\"");
    const QString message = start + QString(100 * 1024, 'x') + QStringLiteral("\"}");
    socket.sendText(message);
    EXPECT_TRUE(logs.contains(QStringLiteral("Message %1… (%2 characters)")
                                  .arg(message.left(64 * 1024))
                                  .arg(message.size())));
    EXPECT_TRUE(logs.contains(QStringLiteral("ERROR! Invalid Package Type")));
}

// A job file pair's names, whatever a file system takes, each reach the
// server as one path segment; anything else is refused before any request,
// so the job stays on the server.
TEST_F(ServerSession, JobNamesAreRefusedOrAskedForAsOnePercentEncodedSegment) {
    const QString refusedName =
        QStringLiteral("Refused a job package: %1 is not a plain file name");
    const QString notAPair = QStringLiteral(
        "Refused a job package: %1 and %2 are not the print data and configuration of one job");
    const QString longest = QString(251, 'x');
    const QString tooLong = QString(10000, 'x');
    const struct {
        QString dataFile;
        QString configFile;
        QString jobId;
        // The refusal, or else the encoded names and job identifier.
        QString refusal;
        QString dataSegment = {};
        QString configSegment = {};
        QString idSegment = {};
    } cases[] = {
        {".bashrc", ".profile", "1", notAPair.arg("\".bashrc\"", "\".profile\"")},
        {".ppf", ".pcf", "1", notAPair.arg("\".ppf\"", "\".pcf\"")},
        {"a.ppf", "b.pcf", "1", notAPair.arg("\"a.ppf\"", "\"b.pcf\"")},
        {"A.PPF", "A.PCF", "1", notAPair.arg("\"A.PPF\"", "\"A.PCF\"")},
        {"../a.ppf", "../a.pcf", "1", refusedName.arg("\"../a.ppf\"")},
        {"a/b.ppf", "a/b.pcf", "1", refusedName.arg("\"a/b.ppf\"")},
        {"", ".pcf", "1", refusedName.arg("\"\"")},
        {QString::fromUtf8("a\0b.ppf", 7), "a.pcf", "1", refusedName.arg("\"a\\x{00}b.ppf\"")},
        {QChar(0xd800) + QStringLiteral(".ppf"), "a.pcf", "1",
         refusedName.arg(QStringLiteral("\"") + QChar(0xd800) + QStringLiteral(".ppf\""))},
        {tooLong + ".ppf", tooLong + ".pcf", "1",
         refusedName.arg("\"" + QString(256, 'x') + "… (10004 characters)\"")},
        {"x" + longest + ".ppf", "x" + longest + ".pcf", "1",
         refusedName.arg("\"x" + longest + ".ppf\"")},
        {"a.ppf", "a.pcf", "", "Refused a job package: the job identifier \"\" names no job"},
        {"a.ppf", "a.pcf", "..", "Refused a job package: the job identifier \"..\" names no job"},
        {"a.ppf", "a.pcf", "1\nX",
         "Refused a job package: the job identifier \"1\\nX\" holds control characters"},
        {"my job.ppf", "my job.pcf", "42", {}, "my%20job.ppf", "my%20job.pcf", "42"},
        {"a?b.ppf", "a?b.pcf", "a b", {}, "a%3Fb.ppf", "a%3Fb.pcf", "a%20b"},
        {"c#d.ppf", "c#d.pcf", "7", {}, "c%23d.ppf", "c%23d.pcf", "7"},
        {".hidden.ppf", ".hidden.pcf", "7", {}, ".hidden.ppf", ".hidden.pcf", "7"},
        {QStringLiteral(u"naïve 日本.ppf"),
         QStringLiteral(u"naïve 日本.pcf"),
         "7",
         {},
         "na%C3%AFve%20%E6%97%A5%E6%9C%AC.ppf",
         "na%C3%AFve%20%E6%97%A5%E6%9C%AC.pcf",
         "7"},
        {longest + ".ppf", longest + ".pcf", "7", {}, longest + ".ppf", longest + ".pcf", "7"},
        {"a.ppf",
         "a.pcf",
         "../../../evil/x?y#z",
         {},
         "a.ppf",
         "a.pcf",
         "..%2F..%2F..%2Fevil%2Fx%3Fy%23z"},
    };
    const QString files = QStringLiteral("/SessionStorage/api/printjob/file/%1/eoq");
    const auto path = [](const FakeRequest& r) { return r.url.path(QUrl::FullyEncoded); };
    FakeWebSocket& socket = openSession();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dataFile.left(80).toStdString());
        const size_t before = network->requests.size();
        socket.sendText(jobPackage(
            {{"PrintJobId", c.jobId}, {"DataFile", c.dataFile}, {"ConfigFile", c.configFile}}));
        if (!c.refusal.isEmpty()) {
            EXPECT_TRUE(logs.contains(c.refusal)) << logs.lines().last().toStdString();
            EXPECT_EQ(network->requests.size(), before);
            continue;
        }
        ASSERT_EQ(network->requests.size(), before + 1);
        EXPECT_EQ(path(lastRequest()), files.arg(c.dataSegment));
        network->complete(lastRequest(), "data");
        EXPECT_EQ(path(lastRequest()), files.arg(c.configSegment));
        network->complete(lastRequest(), "configuration");
        EXPECT_EQ(lastRequest().method, "DELETE");
        EXPECT_EQ(path(lastRequest()), "/SessionStorage/api/PrintJob/" + c.idSegment);
        EXPECT_EQ(homeEntries(), (QStringList{c.configFile, c.dataFile}));
        for (const QString& name : {c.dataFile, c.configFile}) {
            QFile::remove(home() + '/' + name);
        }
    }
    EXPECT_TRUE(homeEntries().isEmpty());
    EXPECT_EQ(socket.closeCalls, 0);
}

TEST_F(ServerSession, JobIsDownloadedWithoutTheLockThenPutInPlaceDeletedAndAnnounced) {
    setServiceUrl(QStringLiteral("print.example:8080"));
    credentials = DVCKeyringItem(QStringLiteral("user"), QByteArray("pass"));
    FakeWebSocket& socket = openSession();

    socket.sendText(jobPackage(jobData()));
    socket.sendText(QStringLiteral("{\"type\":200001}")); // waits for the job
    ASSERT_EQ(network->requests.size(), 1u);
    EXPECT_FALSE(jobLockHeld());
    EXPECT_FALSE(logs.contains(QStringLiteral("Received a Client Package")));
    const FakeRequest& data = request(0);
    EXPECT_EQ(data.method, "GET");
    EXPECT_EQ(data.url.toString(),
              "http://print.example:8080/SessionStorage/api/printjob/file/job1.ppf/eoq");
    EXPECT_EQ(data.headers, (dravelo::HttpHeaders{{"Authorization", "Basic dXNlcjpwYXNz"},
                                                  {"File_Name", "job1.ppf"},
                                                  {"Print_Job_Id", "42"},
                                                  {"Print_Job_Type", "ppf"}}));
    EXPECT_EQ(data.folder, home());

    network->complete(request(0), "%PDF-1.4 data");
    ASSERT_EQ(network->requests.size(), 2u);
    EXPECT_EQ(request(1).url.path(), "/SessionStorage/api/printjob/file/job1.pcf/eoq");
    EXPECT_EQ(request(1).header("Print_Job_Type"), "pcf");
    EXPECT_EQ(request(1).header("File_Name"), "job1.pcf");
    EXPECT_FALSE(QFile::exists(home() + QStringLiteral("/job1.ppf")));
    EXPECT_EQ(notifications(), QStringList{connected});

    network->complete(request(1), "config");
    EXPECT_FALSE(jobLockHeld());
    EXPECT_EQ(homeEntries(), (QStringList{"job1.pcf", "job1.ppf"}));
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

TEST_F(ServerSession, AJobWhoseFilesDidNotAllArriveStaysOnTheServerAndLeavesNothing) {
    const QString data = home() + QStringLiteral("/job1.ppf");
    const QString configuration = home() + QStringLiteral("/job1.pcf");
    const struct {
        bool dataArrives;
        HttpClient::Outcome::Kind failure;
        QString logLine;
    } cases[] = {
        {false, HttpClient::Outcome::TransportFailed,
         "Could not download " + data + ": broken; the job stays on the server."},
        {true, HttpClient::Outcome::TransportFailed,
         "Could not download " + configuration + ": broken; the job stays on the server."},
        {true, HttpClient::Outcome::WriteFailed,
         "Could not write " + configuration + ": broken; the job stays on the server."},
    };
    FakeWebSocket& socket = openSession();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.logLine.toStdString());
        network->requests.clear();
        socket.sendText(jobPackage(jobData()));
        if (c.dataArrives) {
            network->complete(request(0), "data");
        }
        lastRequest().finish({c.failure, QStringLiteral("broken")});
        EXPECT_EQ(network->requests.size(), c.dataArrives ? 2u : 1u);
        EXPECT_TRUE(logs.contains(c.logLine)) << logs.lines().join('\n').toStdString();
        EXPECT_TRUE(homeEntries().isEmpty()) << homeEntries().join(' ').toStdString();
    }
    EXPECT_FALSE(logs.contains(QStringLiteral("Deleting job from server")));
    EXPECT_EQ(notifications(), QStringList{connected});
}

TEST_F(ServerSession, WhileTheWatcherHoldsTheLockAJobDownloadsButWaitsToBePutInPlace) {
    FakeWebSocket& socket = openSession();
    jobLock.lock();
    socket.sendText(jobPackage(jobData()));
    network->complete(request(0), "data");
    network->complete(request(1), "config");
    QTest::qWait(50);
    EXPECT_EQ(network->requests.size(), 2u);
    EXPECT_FALSE(QFile::exists(home() + QStringLiteral("/job1.pcf")));
    jobLock.unlock();
    QTRY_COMPARE(network->requests.size(), size_t(3));
    EXPECT_EQ(homeEntries(), (QStringList{"job1.pcf", "job1.ppf"}));
}

TEST_F(ServerSession, StoppingCutsTheJobShortAndLeavesNothing) {
    FakeWebSocket& socket = openSession();
    socket.sendText(jobPackage(jobData()));
    network->complete(request(0), "data");
    session->stop();
    EXPECT_TRUE(request(1).completed);
    EXPECT_EQ(network->requests.size(), 2u);
    EXPECT_EQ(socket.closeCalls, 1);
    EXPECT_TRUE(socket.released);
    EXPECT_TRUE(homeEntries().isEmpty());
    EXPECT_FALSE(jobLockHeld());
    EXPECT_EQ(notifications(), QStringList{connected});
    session->connect();
    EXPECT_EQ(network->sockets.size(), 1u);

    // Stopped while it waits for the lock, with both bodies downloaded.
    startSession();
    FakeWebSocket& second = openSession();
    jobLock.lock();
    second.sendText(jobPackage(jobData()));
    network->complete(lastRequest(), "data");
    network->complete(lastRequest(), "config");
    EXPECT_EQ(homeEntries().size(), 2);
    session->stop();
    jobLock.unlock();
    QTest::qWait(50);
    EXPECT_TRUE(homeEntries().isEmpty()) << homeEntries().join(' ').toStdString();
}

// Job packages wait their turn while a job downloads; a flood of them is
// handled in order, until the waiting text would pass its limit.
TEST_F(ServerSession, AFloodOfJobPackagesIsHandledInOrderUpToTheWaitingLimit) {
    context.waitingTextLimit = 1000 * 1000;
    startSession();
    FakeWebSocket& socket = openSession();
    const auto package = [](int id) {
        return jobPackage({{"PrintJobId", QString::number(id)},
                           {"DataFile", QStringLiteral("job%1.ppf").arg(id % 10)},
                           {"ConfigFile", QStringLiteral("job%1.pcf").arg(id % 10)}});
    };
    // The first is under way at once; those behind it wait up to the limit.
    socket.sendText(package(0));
    qsizetype waiting = 0;
    int admitted = 1;
    for (; waiting + package(admitted).size() <= context.waitingTextLimit; ++admitted) {
        waiting += package(admitted).size();
        socket.sendText(package(admitted));
    }
    ASSERT_GE(admitted, 10000);
    EXPECT_EQ(logs.lines().filter(QStringLiteral("dropped")), QStringList());
    socket.sendText(package(admitted));
    EXPECT_EQ(logs.lines().last(),
              QStringLiteral("Got an error: dropped a message of %1 characters while %2 "
                             "characters of messages wait; a job in it stays on the server")
                  .arg(package(admitted).size())
                  .arg(waiting));
    for (size_t next = 0; next < network->requests.size(); ++next) {
        if (network->requests[next]->method == "GET") {
            network->complete(*network->requests[next]);
        }
    }
    QStringList deleted;
    for (const auto& r : network->requests) {
        if (r->method == "DELETE") {
            deleted << r->url.path().section('/', -1);
        }
    }
    ASSERT_EQ(deleted.size(), admitted);
    EXPECT_EQ(deleted.first(), "0");
    EXPECT_EQ(deleted.last(), QString::number(admitted - 1));
    EXPECT_EQ(homeEntries().size(), 20);
    EXPECT_EQ(socket.closeCalls, 0);
}

} // namespace

// The network layer against a small HTTP and TCP peer on loopback, in this
// process: downloads streamed into files, error statuses, stalls, trickles,
// refused connections, failed writes, a disk that would fill, and the
// WebSocket's own handshake time-out.
// Also the work thread the print server session runs on.

#include "platform/core/WorkThread.h"
#include "platform/network/SystemHttpClient.h"
#include "platform/network/SystemWebSocket.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <limits>
#include <sys/resource.h>
#include <sys/stat.h>

using dravelo::HttpClient;
using dravelo::SystemHttpClient;
using dravelo::SystemWebSocket;
using dravelo::WebSocket;
using dravelo::WorkQueue;
using dravelo::WorkThread;
using namespace std::chrono_literals;

namespace {

// Answers each HTTP request by its path: "/ok" with the body, "/status/N"
// with status N and a body that names it, "/stall" with the start of a body
// and then nothing, "/trickle" with the body a byte every 20 ms, "/silent"
// with nothing at all.
class HttpPeer {
public:
    explicit HttpPeer(QByteArray body)
        : body_(std::move(body)) {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                 [this, socket] { answer(socket); });
            }
        });
    }

    QUrl url(const QString& path) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
    }

private:
    void answer(QTcpSocket* socket) {
        const QByteArray request = socket->peek(socket->bytesAvailable());
        if (!request.contains("\r\n\r\n")) {
            return;
        }
        socket->readAll();
        const QByteArray path = request.split(' ').value(1);
        if (path == "/ok") {
            respond(socket, "200 OK", body_, body_.size());
        } else if (path.startsWith("/status/")) {
            const QByteArray status = path.mid(8);
            const QByteArray named = "status " + status;
            respond(socket, status + " Whatever", named, named.size());
        } else if (path == "/stall") {
            respond(socket, "200 OK", body_.left(10), body_.size());
        } else if (path == "/trickle") {
            respond(socket, "200 OK", {}, body_.size());
            auto* timer = new QTimer(socket);
            QObject::connect(timer, &QTimer::timeout, socket, [socket] { socket->write("x"); });
            timer->start(20);
        }
    }

    static void respond(QTcpSocket* socket, const QByteArray& status, const QByteArray& body,
                        qsizetype length) {
        socket->write("HTTP/1.1 " + status + "\r\nContent-Length: " + QByteArray::number(length) +
                      "\r\nConnection: close\r\n\r\n" + body);
        if (body.size() == length) {
            socket->disconnectFromHost();
        }
    }

    QByteArray body_;
    QTcpServer server_;
};

struct Result {
    bool done = false;
    HttpClient::Outcome outcome;
};

SystemHttpClient::Limits withStall(std::chrono::milliseconds stall) {
    SystemHttpClient::Limits limits = SystemHttpClient::defaultLimits;
    limits.stall = stall;
    return limits;
}

class Network : public ::testing::Test {
protected:
    Result download(const QUrl& url, HttpClient& client) {
        auto result = std::make_shared<Result>();
        client.download(url, {{"File_Name", "job.ppf"}}, folder.path(),
                        [result](const HttpClient::Outcome& outcome) {
                            result->done = true;
                            result->outcome = outcome;
                        });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(result->done, 10000); }();
        return *result;
    }
    Result download(const QUrl& url) { return download(url, http); }
    static QByteArray content(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>");
    }
    QStringList folderEntries() const {
        return QDir(folder.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QByteArray body = QByteArray(3 * 1024 * 1024, 'x') + "%%EOF";
    HttpPeer peer{body};
    QTemporaryDir folder;
    SystemHttpClient http{withStall(300ms)};
};

// Whatever its status, a response that arrives whole is left in the file.
TEST_F(Network, ADownloadLeavesItsWholeBodyInAPrivateFileOrNothing) {
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const QUrl refused = QUrl(QStringLiteral("http://127.0.0.1:%1/ok").arg(closed.serverPort()));
    closed.close();
    const struct {
        QUrl url;
        HttpClient::Outcome::Kind kind;
        QByteArray content;
    } cases[] = {
        {peer.url("/ok"), HttpClient::Outcome::Succeeded, body},
        {peer.url("/status/400"), HttpClient::Outcome::Succeeded, "status 400"},
        {peer.url("/status/404"), HttpClient::Outcome::Succeeded, "status 404"},
        {peer.url("/status/407"), HttpClient::Outcome::Succeeded, "status 407"},
        {peer.url("/status/418"), HttpClient::Outcome::Succeeded, "status 418"},
        {peer.url("/status/500"), HttpClient::Outcome::Succeeded, "status 500"},
        {peer.url("/stall"), HttpClient::Outcome::TransportFailed, {}},
        {refused, HttpClient::Outcome::TransportFailed, {}},
        {QUrl(QStringLiteral("http://[bad")), HttpClient::Outcome::TransportFailed, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url.toString().toStdString());
        const Result result = download(c.url);
        EXPECT_EQ(result.outcome.kind, c.kind) << result.outcome.error.toStdString();
        if (c.kind != HttpClient::Outcome::Succeeded) {
            EXPECT_EQ(folderEntries(), QStringList());
            continue;
        }
        const QFileInfo file(result.outcome.filePath);
        EXPECT_EQ(folderEntries(), QStringList{file.fileName()});
        EXPECT_TRUE(file.fileName().startsWith(QLatin1Char('.')));
        EXPECT_EQ(file.permissions() &
                      ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
                  QFile::Permissions());
        EXPECT_EQ(content(file.filePath()), c.content);
        QFile::remove(file.filePath());
    }
}

TEST_F(Network, ADownloadIsGivenUpAtItsTimeLimitOrBeforeItWouldFillTheDisk) {
    SystemHttpClient::Limits quick = SystemHttpClient::defaultLimits;
    quick.total = 300ms;
    SystemHttpClient trickled(quick);
    SystemHttpClient::Limits full = SystemHttpClient::defaultLimits;
    full.reserveMinimum = std::numeric_limits<qint64>::max() / 2;
    SystemHttpClient diskFull(full);
    const struct {
        HttpClient* client;
        QUrl url;
        HttpClient::Outcome::Kind kind;
        QString error;
    } cases[] = {
        {&trickled, peer.url("/trickle"), HttpClient::Outcome::TransportFailed,
         QStringLiteral("the download took longer than 0.3 s")},
        {&diskFull, peer.url("/ok"), HttpClient::Outcome::WriteFailed,
         QStringLiteral("MiB free on the file system")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url.toString().toStdString());
        const Result result = download(c.url, *c.client);
        EXPECT_EQ(result.outcome.kind, c.kind);
        EXPECT_TRUE(result.outcome.error.contains(c.error)) << result.outcome.error.toStdString();
        EXPECT_EQ(folderEntries(), QStringList());
    }
}

TEST_F(Network, AFailedWriteLeavesNoPartialFile) {
    // A file size limit stands in for a full disk: writes past it fail.
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = previous;
    small.rlim_cur = 1024 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const Result result = download(peer.url("/ok"));
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(result.outcome.kind, HttpClient::Outcome::WriteFailed);
    EXPECT_FALSE(result.outcome.error.isEmpty());
    EXPECT_TRUE(folderEntries().isEmpty());
}

TEST_F(Network, DeletionCountsOnlyTransportFailures) {
    const struct {
        QString path;
        HttpClient::Outcome::Kind kind;
    } cases[] = {
        {QStringLiteral("/status/200"), HttpClient::Outcome::Succeeded},
        {QStringLiteral("/status/400"), HttpClient::Outcome::Succeeded},
        {QStringLiteral("/status/404"), HttpClient::Outcome::Succeeded},
        {QStringLiteral("/status/407"), HttpClient::Outcome::Succeeded},
        {QStringLiteral("/status/418"), HttpClient::Outcome::Succeeded},
        {QStringLiteral("/status/500"), HttpClient::Outcome::Succeeded},
        {QStringLiteral("/stall"), HttpClient::Outcome::TransportFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        auto result = std::make_shared<Result>();
        http.deleteResource(peer.url(c.path), {}, [result](const HttpClient::Outcome& outcome) {
            result->done = true;
            result->outcome = outcome;
        });
        QTRY_VERIFY_WITH_TIMEOUT(result->done, 10000);
        EXPECT_EQ(result->outcome.kind, c.kind) << result->outcome.error.toStdString();
    }
}

TEST(NetworkWebSocket, HandshakeIsGivenUpWhenThePeerStaysSilent) {
    QTcpServer silent;
    silent.listen(QHostAddress::LocalHost);
    SystemWebSocket socket(200ms);
    QString failure;
    bool opened = false;
    socket.setCallbacks(
        {[&] { opened = true; }, [&](const QString& error) { failure = error; }, {}, {}, {}});
    socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(silent.serverPort())),
                {{"Authorization", "Basic Og=="}});
    QTRY_VERIFY_WITH_TIMEOUT(!failure.isEmpty(), 5000);
    EXPECT_TRUE(failure.startsWith(QStringLiteral("The opening handshake timed out")));
    EXPECT_FALSE(opened);
    EXPECT_TRUE(socket.isFinished());
}

TEST(NetworkWorkThread, RunsWorkInOrderOnItsThreadAndStopsWhileWorkWaits) {
    WorkThread thread(QStringLiteral("test work thread"));
    auto order = std::make_shared<QList<int>>();
    auto done = std::make_shared<WorkQueue::Done>();
    auto mutex = std::make_shared<std::mutex>();
    QThread* const testThread = QThread::currentThread();
    thread.post([=](WorkQueue::Done finish) {
        const std::lock_guard lock(*mutex);
        order->append(QThread::currentThread() == testThread ? -1 : 1);
        *done = std::move(finish); // finishes later
    });
    thread.post([=](WorkQueue::Done finish) {
        const std::lock_guard lock(*mutex);
        order->append(2);
        finish();
    });
    const auto seen = [&] {
        const std::lock_guard lock(*mutex);
        return *order;
    };
    QTRY_COMPARE_WITH_TIMEOUT(seen(), QList<int>{1}, 5000);
    QTest::qWait(50);
    EXPECT_EQ(seen(), QList<int>{1}) << "the second piece waits for the first";

    thread.interrupt([=] { (*done)(); });
    QTRY_COMPARE_WITH_TIMEOUT(seen(), (QList<int>{1, 2}), 5000);

    // A piece that never finishes does not hold up stopping.
    thread.post([](WorkQueue::Done) {});
    QElapsedTimer clock;
    clock.start();
    thread.stop(3s);
    EXPECT_LT(clock.elapsed(), 3000);
}

} // namespace

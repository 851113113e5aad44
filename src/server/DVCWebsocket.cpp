#include "server/DVCWebsocket.h"

#include "base/DVCKeyring.h"
#include "base/DVCNotificationCenter.h"
#include "base/JobLock.h"
#include "base/Settings.h"
#include "platform/core/Log.h"
#include "platform/core/MainThread.h"
#include "platform/core/UserDefaults.h"
#include "platform/core/WorkThread.h"
#include "platform/files/FileManager.h"
#include "platform/network/SystemNetworkAccess.h"
#include "server/JobPackage.h"
#include "server/JobTransfer.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

namespace dravelo {
namespace {

constexpr qint64 clientPackageType = 200001;
constexpr qint64 jobPackageType = 200002;
// How long stopping waits for the session's thread to finish.
constexpr std::chrono::seconds stopLimit{3};
// Longer messages are logged by their start and their length.
constexpr qsizetype loggedMessageLength = 64 * 1024;

} // namespace

// The session's fields and its work, shared with the work queued for it so
// that work outliving the session object finds it intact. Everything but the
// three setters runs on the work queue's thread.
class DVCWebsocket::Session : public std::enable_shared_from_this<Session> {
public:
    explicit Session(DVCWebsocketContext context);

    void setJobLock(JobLock* jobLock);
    void setNotificationCenter(std::shared_ptr<DVCNotificationCenter> center);
    void setStateObserver(StateObserver observer);

    // Runs `step` on the queue in turn, unless the session stopped by then.
    void post(std::function<void(Session& session, WorkQueue::Done done)> step);
    void stop();

    void connect();
    void disconnect();
    QString auth() const;
    QByteArray genClientPackageData() const;

private:
    // A socket with the number that tells its callbacks from those of the
    // sockets before it, and the server address it was opened for.
    struct Socket {
        quint64 id = 0;
        std::unique_ptr<WebSocket> socket;
        QString address;
    };

    void webSocketDidOpen(quint64 id);
    void webSocketDidFailWithError(quint64 id, const QString& error);
    void webSocketDidReceiveMessage(quint64 id, QString message, WorkQueue::Done done);
    void webSocketDidReceiveBinary(quint64 id, qsizetype size);
    void webSocketDidClose(quint64 id);
    void processJobPackage(const QJsonValue& data, WorkQueue::Done done);

    WebSocket::Callbacks callbacksFor(quint64 id);
    bool isStored(quint64 id) const { return webSocket_ && webSocket_->id == id; }
    void abandon(std::optional<Socket>& socket, bool abort);
    void shutDown();

    bool admitMessage(qsizetype size);

    void withJobLock(std::function<void()> then);
    void releaseJobLock();
    void download(const std::shared_ptr<JobTransfer>& transfer, JobPackage::File file,
                  std::function<void()> then);
    void finishJob(const JobPackage& job);
    void deleteFromServer(const JobPackage& job);

    void notify(const QString& text);
    void setState(ConnectionState state, const QString& address);

    UserDefaults& defaults_;
    QString homePath_;
    std::shared_ptr<NetworkAccess> network_;
    std::shared_ptr<WorkQueue> queue_;
    std::function<std::optional<DVCKeyringItem>()> readCredentials_;
    qsizetype waitingTextLimit_;
    std::atomic<bool> stopping_ = false;

    // Set from other threads.
    mutable std::mutex configMutex_;
    JobLock* jobLock_ = nullptr;
    std::shared_ptr<DVCNotificationCenter> notificationCenter_;
    StateObserver stateObserver_;

    // The queue's thread alone.
    std::optional<Socket> webSocket_; // the socket that last reported it opened
    std::optional<Socket> attempt_;   // the attempt under way, not yet open
    // Sockets whose callbacks a later connect cut; kept until they end, since
    // connect does not close them.
    std::vector<std::unique_ptr<WebSocket>> abandoned_;
    std::unique_ptr<HttpClient> http_;
    std::shared_ptr<JobTransfer> transfer_; // the job under way
    // The characters of the messages received and not yet handled.
    qsizetype waitingText_ = 0;
    JobLock* heldLock_ = nullptr;
    quint64 lastSocketId_ = 0;
};

DVCWebsocket::Session::Session(DVCWebsocketContext context)
    : defaults_(context.defaults)
    , homePath_(std::move(context.homePath))
    , network_(context.network ? std::move(context.network)
                               : std::make_shared<SystemNetworkAccess>())
    , queue_(context.queue ? std::move(context.queue)
                           : std::make_shared<WorkThread>(QStringLiteral("Print server session")))
    , readCredentials_(context.readCredentials ? std::move(context.readCredentials)
                                               : std::function(&DVCKeyring::getKey))
    , waitingTextLimit_(context.waitingTextLimit) {}

void DVCWebsocket::Session::setJobLock(JobLock* jobLock) {
    const std::lock_guard lock(configMutex_);
    jobLock_ = jobLock;
}

void DVCWebsocket::Session::setNotificationCenter(std::shared_ptr<DVCNotificationCenter> center) {
    const std::lock_guard lock(configMutex_);
    notificationCenter_ = std::move(center);
}

void DVCWebsocket::Session::setStateObserver(StateObserver observer) {
    const std::lock_guard lock(configMutex_);
    stateObserver_ = std::move(observer);
}

void DVCWebsocket::Session::post(std::function<void(Session&, WorkQueue::Done)> step) {
    queue_->post([self = shared_from_this(), step = std::move(step)](WorkQueue::Done done) {
        if (self->stopping_) {
            done();
            return;
        }
        step(*self, std::move(done));
    });
}

void DVCWebsocket::Session::stop() {
    if (stopping_.exchange(true)) {
        return;
    }
    queue_->interrupt([self = shared_from_this()] { self->shutDown(); });
    queue_->stop(stopLimit);
}

// Cuts every request and socket short. The job under way, if any, then sees
// its downloads fail, releases the job lock and ends; its temporary files go
// even where it waited for the lock and will not run again.
void DVCWebsocket::Session::shutDown() {
    if (http_) {
        http_->abortAll();
        http_.reset();
    }
    if (transfer_) {
        transfer_->discard();
        transfer_.reset();
    }
    abandon(webSocket_, true);
    abandon(attempt_, true);
    abandoned_.clear();
    releaseJobLock();
}

// --- Authorization and the client package ---

QString DVCWebsocket::Session::auth() const {
    const std::optional<DVCKeyringItem> item = readCredentials_();
    const QString account = item ? item->accountText() : QString();
    const QString password = item ? item->passwordText() : QString();
    const QByteArray credentials = (account + QLatin1Char(':') + password).toUtf8();
    return QStringLiteral("Basic ") + QString::fromLatin1(credentials.toBase64());
}

QByteArray DVCWebsocket::Session::genClientPackageData() const {
    const QString machineName = defaults_.stringForKey(Settings::clientName).value_or(QString());
    const QJsonObject data{{QStringLiteral("MachineName"), machineName},
                           {QStringLiteral("IPAddress"), DVCWebsocket::getIP()}};
    const QJsonObject package{{QStringLiteral("type"), clientPackageType},
                              {QStringLiteral("size"), 0},
                              {QStringLiteral("data"), data}};
    return QJsonDocument(package).toJson(QJsonDocument::Indented);
}

// --- Connecting and disconnecting ---

void DVCWebsocket::Session::connect() {
    const QString address = defaults_.stringForKey(Settings::serviceUrl).value_or(QString());
    const QUrl url(QStringLiteral("ws://") + address +
                   QStringLiteral("/SessionStorage/api/websocket"));
    const HttpHeaders headers{{"Authorization", auth().toUtf8()}};

    // The open socket goes on, unheard; an attempt that never opened is
    // given up, so that two attempts never both become the session's socket.
    abandon(webSocket_, false);
    abandon(attempt_, true);
    std::erase_if(abandoned_, [](const auto& socket) { return socket->isFinished(); });

    Socket attempt{++lastSocketId_, network_->makeWebSocket(), address};
    attempt.socket->setCallbacks(callbacksFor(attempt.id));
    WebSocket& socket = *attempt.socket;
    attempt_ = std::move(attempt);
    setState(ConnectionState::Connecting, address);
    socket.open(url, headers);
}

void DVCWebsocket::Session::disconnect() {
    if (!webSocket_) {
        return;
    }
    webSocket_->socket->close();
    notify(QStringLiteral("Disconnected from Dravelo Server"));
    setState(ConnectionState::Closed, webSocket_->address);
}

void DVCWebsocket::Session::abandon(std::optional<Socket>& socket, bool abort) {
    if (!socket) {
        return;
    }
    socket->socket->setCallbacks({});
    if (abort) {
        socket->socket->close();
    } else if (!socket->socket->isFinished()) {
        abandoned_.push_back(std::move(socket->socket));
    }
    socket.reset();
}

// Each callback joins the queue behind the work before it, so a message that
// arrives while a job downloads waits for that job, and a callback of a socket
// that a later connect replaced is recognised by its number and ignored.
WebSocket::Callbacks DVCWebsocket::Session::callbacksFor(quint64 id) {
    const std::weak_ptr<Session> weak = weak_from_this();
    const auto queued = [weak](std::function<void(Session&, WorkQueue::Done)> step) {
        if (const auto self = weak.lock()) {
            self->post(std::move(step));
        }
    };
    return {
        [queued, id] {
            queued([id](Session& s, WorkQueue::Done done) {
                s.webSocketDidOpen(id);
                done();
            });
        },
        [queued, id](const QString& error) {
            queued([id, error](Session& s, WorkQueue::Done done) {
                s.webSocketDidFailWithError(id, error);
                done();
            });
        },
        [weak, id](const QString& message) {
            const auto self = weak.lock();
            if (!self || !self->admitMessage(message.size())) {
                return;
            }
            self->post([id, message](Session& s, WorkQueue::Done done) mutable {
                s.webSocketDidReceiveMessage(id, std::move(message), std::move(done));
            });
        },
        [queued, id](qsizetype size) {
            queued([id, size](Session& s, WorkQueue::Done done) {
                s.webSocketDidReceiveBinary(id, size);
                done();
            });
        },
        [queued, id] {
            queued([id](Session& s, WorkQueue::Done done) {
                s.webSocketDidClose(id);
                done();
            });
        },
    };
}

// --- The socket's callbacks ---

void DVCWebsocket::Session::webSocketDidOpen(quint64 id) {
    if (!attempt_ || attempt_->id != id) {
        return;
    }
    webSocket_ = std::move(attempt_);
    attempt_.reset();
    log(DVCWebsocket::getIP());
    log(QStringLiteral("Opened"));
    notify(QStringLiteral("Connected to Server"));
    setState(ConnectionState::Open, webSocket_->address);
    webSocket_->socket->sendBinary(genClientPackageData());
}

void DVCWebsocket::Session::webSocketDidFailWithError(quint64 id, const QString& error) {
    const bool wasAttempt = attempt_ && attempt_->id == id;
    if (!wasAttempt && !isStored(id)) {
        return;
    }
    log(QStringLiteral("Error occured with websocket: %1").arg(error));
    notify(QStringLiteral("Connection Error - Please check your settings"));
    if (wasAttempt) {
        const QString address = attempt_->address;
        attempt_.reset();
        setState(ConnectionState::NoConnection, address);
    }
    disconnect();
}

void DVCWebsocket::Session::webSocketDidClose(quint64 id) {
    // A close by the server is not reported; only the state shows it.
    if (isStored(id)) {
        setState(ConnectionState::Closed, webSocket_->address);
    }
}

void DVCWebsocket::Session::webSocketDidReceiveBinary(quint64 id, qsizetype size) {
    if (isStored(id)) {
        log(QStringLiteral("Got an error: ignored a binary message of %1 bytes from the server")
                .arg(size));
    }
}

// Messages wait while a job downloads. Beyond the limit a new one is dropped,
// so that a flood of them cannot fill the memory; a job it announced is never
// deleted on the server.
bool DVCWebsocket::Session::admitMessage(qsizetype size) {
    if (waitingText_ + size > waitingTextLimit_) {
        log(QStringLiteral("Got an error: dropped a message of %1 characters while %2 characters "
                           "of messages wait; a job in it stays on the server")
                .arg(size)
                .arg(waitingText_));
        return false;
    }
    waitingText_ += size;
    return true;
}

void DVCWebsocket::Session::webSocketDidReceiveMessage(quint64 id, QString message,
                                                       WorkQueue::Done done) {
    waitingText_ -= message.size();
    if (!isStored(id)) {
        done();
        return;
    }
    log(QStringLiteral("Message Received"));
    log(QStringLiteral("Message %1").arg(Log::shortened(message, loggedMessageLength)));
    const QByteArray utf8 = message.toUtf8();
    // The parsed document is all that is needed from here on.
    message = QString();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(utf8, &error);
    if (error.error != QJsonParseError::NoError) {
        log(QStringLiteral("Got an error: %1").arg(error.errorString()));
        done();
        return;
    }
    if (!document.isObject()) {
        log(QStringLiteral("Got an error: the message is a JSON array, not an object"));
        done();
        return;
    }
    const QJsonObject package = document.object();
    // A missing "type" reads as 0; one that is not a whole number is invalid.
    const QJsonValue type = package.value(QStringLiteral("type"));
    const qint64 packageType = type.isUndefined() ? 0 : type.toInteger(-1);
    if (packageType == jobPackageType) {
        log(QStringLiteral("Received a Job Package"));
        processJobPackage(package.value(QStringLiteral("data")), std::move(done));
        return;
    }
    if (packageType == clientPackageType) {
        log(QStringLiteral("Received a Client Package"));
    } else {
        log(QStringLiteral("ERROR! Invalid Package Type"));
    }
    done();
}

// --- Job download and removal ---

// Both bodies are downloaded without the job lock, which the watcher takes
// for its pass over the home directory; the lock is held only while the
// finished files are renamed into place. A job whose files did not all
// arrive is left on the server.
void DVCWebsocket::Session::processJobPackage(const QJsonValue& data, WorkQueue::Done done) {
    const QString serviceUrl = defaults_.stringForKey(Settings::serviceUrl).value_or(QString());
    QString error;
    std::optional<JobPackage> parsed = JobPackage::parse(data, serviceUrl, homePath_, error);
    if (!parsed) {
        log(error);
        done();
        return;
    }
    transfer_ = std::make_shared<JobTransfer>(std::move(*parsed));
    const std::shared_ptr<JobTransfer> transfer = transfer_;
    transfer->job().setAuthorization(auth());
    log(QStringLiteral("Downloading files"));
    const auto finish = [this, self = shared_from_this(), transfer, done = std::move(done)] {
        if (stopping_ || transfer->failed()) {
            transfer_.reset();
            done();
            return;
        }
        withJobLock([this, self, transfer, done] {
            const bool placed = transfer->place();
            releaseJobLock();
            transfer_.reset();
            if (placed) {
                finishJob(transfer->job());
            }
            done();
        });
    };
    download(transfer, JobPackage::File::PrintData, [this, transfer, finish] {
        download(transfer, JobPackage::File::Configuration, finish);
    });
}

void DVCWebsocket::Session::finishJob(const JobPackage& job) {
    log(QStringLiteral("Finished downloading files"));
    log(QStringLiteral("Deleting job from server"));
    deleteFromServer(job);
    notify(QStringLiteral("New Print Job Found"));
}

void DVCWebsocket::Session::withJobLock(std::function<void()> then) {
    JobLock* lock = nullptr;
    {
        const std::lock_guard guard(configMutex_);
        lock = jobLock_;
    }
    // Stopping drops the work: shutDown() has discarded its files.
    if (stopping_) {
        return;
    }
    if (!lock || lock->try_lock()) {
        heldLock_ = lock;
        then();
        return;
    }
    QTimer::singleShot(JobLock::pollInterval,
                       [self = shared_from_this(), then = std::move(then)]() mutable {
                           self->withJobLock(std::move(then));
                       });
}

void DVCWebsocket::Session::releaseJobLock() {
    if (heldLock_) {
        heldLock_->unlock();
        heldLock_ = nullptr;
    }
}

void DVCWebsocket::Session::download(const std::shared_ptr<JobTransfer>& transfer,
                                     JobPackage::File file, std::function<void()> then) {
    if (stopping_ || transfer->failed()) {
        then();
        return;
    }
    if (!http_) {
        http_ = network_->makeHttpClient();
    }
    const JobPackage& job = transfer->job();
    http_->download(job.downloadUrl(file), job.downloadHeaders(file), homePath_,
                    [transfer, file, then = std::move(then)](const HttpClient::Outcome& outcome) {
                        transfer->took(file, outcome);
                        then();
                    });
}

// The deletion completes on its own, outside the queue's order: the next
// message need not wait for it.
void DVCWebsocket::Session::deleteFromServer(const JobPackage& job) {
    http_->deleteResource(
        job.deleteUrl(), job.deleteHeaders(), [](const HttpClient::Outcome& outcome) {
            if (outcome.kind != HttpClient::Outcome::Succeeded) {
                log(QStringLiteral("Error occured when deleting,%1").arg(outcome.error));
            }
        });
}

// --- Hand-overs to the UI thread ---

void DVCWebsocket::Session::notify(const QString& text) {
    std::shared_ptr<DVCNotificationCenter> center;
    {
        const std::lock_guard lock(configMutex_);
        center = notificationCenter_;
    }
    if (!center) {
        log(QStringLiteral("No notification service for: %1").arg(text));
        return;
    }
    runOnMainThread([center, text] { center->sendNotification(text); });
}

void DVCWebsocket::Session::setState(ConnectionState state, const QString& address) {
    StateObserver observer;
    {
        const std::lock_guard lock(configMutex_);
        observer = stateObserver_;
    }
    if (observer) {
        runOnMainThread([observer, state, address] { observer(state, address); });
    }
}

// --- DVCWebsocket ---

DVCWebsocket::DVCWebsocket(DVCWebsocketContext context)
    : session_(std::make_shared<Session>(std::move(context))) {}

DVCWebsocket::~DVCWebsocket() {
    stop();
}

std::shared_ptr<DVCWebsocket> DVCWebsocket::create(UserDefaults& defaults,
                                                   const QString& homePath) {
    return std::make_shared<DVCWebsocket>(DVCWebsocketContext{defaults, homePath});
}

void DVCWebsocket::setJobLock(JobLock& jobLock) {
    session_->setJobLock(&jobLock);
}

void DVCWebsocket::setNotificationCenter(
    std::shared_ptr<DVCNotificationCenter> notificationCenter) {
    session_->setNotificationCenter(std::move(notificationCenter));
}

void DVCWebsocket::setStateObserver(StateObserver observer) {
    session_->setStateObserver(std::move(observer));
}

void DVCWebsocket::connect() {
    session_->post([](Session& session, WorkQueue::Done done) {
        session.connect();
        done();
    });
}

void DVCWebsocket::disconnect() {
    session_->post([](Session& session, WorkQueue::Done done) {
        session.disconnect();
        done();
    });
}

void DVCWebsocket::stop() {
    session_->stop();
}

QString DVCWebsocket::auth() const {
    return session_->auth();
}

QByteArray DVCWebsocket::genClientPackageData() const {
    return session_->genClientPackageData();
}

QString DVCWebsocket::describe(ConnectionState state, const QString& address) {
    switch (state) {
    case ConnectionState::Connecting:
        return QStringLiteral("Connecting to the print server at %1").arg(address);
    case ConnectionState::Open:
        return QStringLiteral("Connected to the print server at %1").arg(address);
    case ConnectionState::NoConnection:
    case ConnectionState::Closed:
        break;
    }
    return QStringLiteral("Not connected to the print server");
}

bool DVCWebsocket::lacksConnection(ConnectionState state, const QString& address) {
    return state != ConnectionState::Open && !address.isEmpty();
}

QString DVCWebsocket::getIP() {
    return getIP(NetworkInterfaces::addresses());
}

QString DVCWebsocket::getIP(const QList<InterfaceAddress>& addresses) {
    QString text;
    for (const InterfaceAddress& address : addresses) {
        // "lo" is the loopback interface here, as "lo0" is elsewhere.
        const bool loopback = address.interfaceName == QLatin1String("lo") ||
                              address.interfaceName == QLatin1String("lo0");
        if (address.isIPv4 && !loopback) {
            text += address.address;
        }
    }
    return text;
}

} // namespace dravelo

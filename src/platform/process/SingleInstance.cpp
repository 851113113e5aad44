#include "platform/process/SingleInstance.h"

#include "platform/core/Log.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

namespace dravelo {
namespace {

const QByteArray reopenRequest = QByteArrayLiteral("reopen\n");
constexpr int connectTimeoutMs = 2000;
constexpr int connectAttempts = 10;

// The path, without extension, of the lock and socket of the client that
// runs for this user and home directory.
QString instanceBasePath(const QString& runtimeDirectory, const QString& homePath) {
    const QByteArray digest =
        QCryptographicHash::hash(homePath.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("%1/dravelo-%2-%3")
        .arg(runtimeDirectory)
        .arg(::getuid())
        .arg(QString::fromLatin1(digest));
}

} // namespace

SingleInstance::SingleInstance(const QString& runtimeDirectory, const QString& homePath,
                               QObject* parent)
    : SingleInstance(instanceBasePath(runtimeDirectory, homePath), parent) {}

SingleInstance::SingleInstance(const QString& basePath, QObject* parent)
    : QObject(parent)
    , socketPath_(basePath + QStringLiteral(".sock"))
    , lock_(basePath + QStringLiteral(".lock")) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultRuntimeDirectory() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists()) {
        return runtime;
    }
    return QDir::tempPath();
}

bool SingleInstance::claim() {
    if (lock_.tryLock(0)) {
        return listen();
    }
    if (lock_.error() != QLockFile::LockFailedError) {
        log(QStringLiteral("Cannot create the single-instance lock %1.").arg(socketPath_));
        return true;
    }
    if (!askRunningInstanceToReopen()) {
        log(QStringLiteral("Another Dravelo Client is running but does not answer."));
    }
    return false;
}

bool SingleInstance::listen() {
    // The lock is ours, so a socket file left here belongs to a dead client.
    QLocalServer::removeServer(socketPath_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(socketPath_)) {
        log(QStringLiteral("Cannot listen on %1: %2").arg(socketPath_, server_->errorString()));
        return true;
    }
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::readRequest);
    return true;
}

void SingleInstance::readRequest() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->canReadLine() && socket->readLine() == reopenRequest) {
                Q_EMIT reopenRequested();
            }
        });
    }
}

bool SingleInstance::askRunningInstanceToReopen() const {
    // The running client may still be starting: give it a moment to listen.
    for (int attempt = 0; attempt < connectAttempts; ++attempt) {
        QLocalSocket socket;
        socket.connectToServer(socketPath_);
        if (socket.waitForConnected(connectTimeoutMs)) {
            socket.write(reopenRequest);
            socket.waitForBytesWritten(connectTimeoutMs);
            socket.disconnectFromServer();
            return true;
        }
        QThread::msleep(200);
    }
    return false;
}

} // namespace dravelo

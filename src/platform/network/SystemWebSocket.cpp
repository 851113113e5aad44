#include "platform/network/SystemWebSocket.h"

#include <QNetworkRequest>
#include <QWebSocket>

namespace dravelo {

namespace {

// The close codes of a connection that ended because a peer broke the
// protocol, rather than because either side chose to close it.
bool isProtocolFailure(QWebSocketProtocol::CloseCode code) {
    switch (code) {
    case QWebSocketProtocol::CloseCodeProtocolError:
    case QWebSocketProtocol::CloseCodeDatatypeNotSupported:
    case QWebSocketProtocol::CloseCodeWrongDatatype:
    case QWebSocketProtocol::CloseCodePolicyViolated:
    case QWebSocketProtocol::CloseCodeTooMuchData:
        return true;
    default:
        return false;
    }
}

} // namespace

SystemWebSocket::SystemWebSocket(std::chrono::milliseconds handshakeLimit)
    : socket_(new QWebSocket) {
    socket_->setMaxAllowedIncomingMessageSize(messageSizeLimit);
    socket_->setMaxAllowedIncomingFrameSize(messageSizeLimit);
    handshakeTimer_.setSingleShot(true);
    handshakeTimer_.setInterval(handshakeLimit);
    connect(&handshakeTimer_, &QTimer::timeout, this, &SystemWebSocket::handleHandshakeTimeout);
    connect(socket_, &QWebSocket::connected, this, &SystemWebSocket::handleConnected);
    connect(socket_, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error), this,
            &SystemWebSocket::handleError);
    connect(socket_, &QWebSocket::disconnected, this, &SystemWebSocket::handleDisconnected);
    connect(socket_, &QWebSocket::textMessageReceived, this, [this](const QString& message) {
        if (const auto callback = callbacks_.didReceiveText) {
            callback(message);
        }
    });
    connect(socket_, &QWebSocket::binaryMessageReceived, this, [this](const QByteArray& message) {
        if (const auto callback = callbacks_.didReceiveBinary) {
            callback(message.size());
        }
    });
}

SystemWebSocket::~SystemWebSocket() {
    socket_->disconnect(this);
    // Called from within the socket's own signals at times.
    socket_->deleteLater();
}

void SystemWebSocket::setCallbacks(Callbacks callbacks) {
    callbacks_ = std::move(callbacks);
}

void SystemWebSocket::open(const QUrl& url, const HttpHeaders& headers) {
    QNetworkRequest request(url);
    for (const auto& [name, value] : headers) {
        request.setRawHeader(name, value);
    }
    handshakeTimer_.start();
    // An unusable URL fails inside open(), through the error signal.
    socket_->open(request);
}

void SystemWebSocket::sendBinary(const QByteArray& message) {
    socket_->sendBinaryMessage(message);
}

void SystemWebSocket::close() {
    if (finished_) {
        return;
    }
    if (opened_) {
        socket_->close();
    } else {
        socket_->abort();
    }
}

bool SystemWebSocket::isFinished() const {
    return finished_;
}

void SystemWebSocket::handleConnected() {
    handshakeTimer_.stop();
    opened_ = true;
    if (const auto callback = callbacks_.didOpen) {
        callback();
    }
}

void SystemWebSocket::handleError() {
    fail(socket_->errorString());
}

void SystemWebSocket::handleHandshakeTimeout() {
    fail(QStringLiteral("The opening handshake timed out after %1 s.")
             .arg(std::chrono::duration_cast<std::chrono::seconds>(
                      std::chrono::milliseconds(handshakeTimer_.interval()))
                      .count()));
}

// Reports a failure once. A socket that never opened is aborted: after a
// refused handshake QWebSocket would stay connecting.
void SystemWebSocket::fail(const QString& error) {
    if (finished_) {
        return;
    }
    finished_ = true;
    handshakeTimer_.stop();
    if (!opened_ || socket_->state() != QAbstractSocket::UnconnectedState) {
        socket_->abort();
    }
    if (const auto callback = callbacks_.didFail) {
        callback(error);
    }
}

void SystemWebSocket::handleDisconnected() {
    if (finished_) {
        return;
    }
    if (!opened_) {
        fail(socket_->errorString().isEmpty()
                 ? QStringLiteral("The connection closed during the opening handshake.")
                 : socket_->errorString());
        return;
    }
    if (isProtocolFailure(socket_->closeCode())) {
        fail(QStringLiteral("%1 (close code %2)")
                 .arg(socket_->closeReason())
                 .arg(static_cast<int>(socket_->closeCode())));
        return;
    }
    finished_ = true;
    if (const auto callback = callbacks_.didClose) {
        callback();
    }
}

} // namespace dravelo

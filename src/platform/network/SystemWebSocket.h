#pragma once

#include "platform/network/WebSocket.h"

#include <QObject>
#include <QTimer>

#include <chrono>

class QWebSocket;

namespace dravelo {

// A WebSocket on QWebSocket. QWebSocket sets no limit on the handshake and
// leaves a refused handshake connecting until the server drops the
// connection; this one gives the handshake up after a time-out and aborts a
// connection that failed before it opened. A message longer than the limit,
// or a text message that is not UTF-8, makes QWebSocket end the connection;
// that is reported as a failure, not as a close.
class SystemWebSocket : public QObject, public WebSocket {
    Q_OBJECT

public:
    static constexpr std::chrono::seconds handshakeTimeout{30};
    static constexpr qint64 messageSizeLimit = 64 * 1024 * 1024;

    explicit SystemWebSocket(std::chrono::milliseconds handshakeLimit = handshakeTimeout);
    ~SystemWebSocket() override;

    void setCallbacks(Callbacks callbacks) override;
    void open(const QUrl& url, const HttpHeaders& headers) override;
    void sendBinary(const QByteArray& message) override;
    void close() override;
    bool isFinished() const override;

private:
    void handleConnected();
    void handleError();
    void handleDisconnected();
    void handleHandshakeTimeout();
    void fail(const QString& error);

    QWebSocket* socket_; // deleted later: callbacks may destroy this wrapper
    QTimer handshakeTimer_;
    Callbacks callbacks_;
    bool opened_ = false;
    bool finished_ = false;
};

} // namespace dravelo

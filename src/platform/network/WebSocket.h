#pragma once

#include "platform/network/HttpHeaders.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>

namespace dravelo {

// A client WebSocket. Its outcome and messages arrive as callbacks on the
// thread that owns it; a callback may destroy the socket.
class WebSocket {
public:
    struct Callbacks {
        // The handshake succeeded.
        std::function<void()> didOpen;
        // The attempt failed, or the open connection broke; with the reason.
        std::function<void(const QString& error)> didFail;
        // A text message arrived.
        std::function<void(const QString& message)> didReceiveText;
        // A binary message of that many bytes arrived.
        std::function<void(qsizetype size)> didReceiveBinary;
        // The open connection was closed without an error (by either side).
        std::function<void()> didClose;
    };

    virtual ~WebSocket() = default;

    // Replaces the callbacks; empty ones stop that socket's callbacks.
    virtual void setCallbacks(Callbacks callbacks) = 0;
    // Starts the opening handshake with these header fields and returns.
    virtual void open(const QUrl& url, const HttpHeaders& headers) = 0;
    // Sends one binary message on the open connection.
    virtual void sendBinary(const QByteArray& message) = 0;
    // Starts closing; no effect on a socket already closed or failed.
    virtual void close() = 0;
    // True once the connection has ended, whichever way.
    virtual bool isFinished() const = 0;
};

} // namespace dravelo

#pragma once

#include "platform/network/NetworkAccess.h"

#include <QByteArrayList>
#include <QStringList>

#include <memory>
#include <vector>

namespace dravelo::test {

// A WebSocket that records what the session does with it; the test plays
// the server by firing its callbacks. It outlives the session's handle on it,
// so a test can look at a socket the session let go of.
class FakeWebSocket {
public:
    using Callbacks = WebSocket::Callbacks;

    void setCallbacks(Callbacks callbacks) { callbacks_ = std::move(callbacks); }
    void open(const QUrl& url, const HttpHeaders& headers);
    void close();

    // The server's side.
    void accept();
    void fail(const QString& error);
    void sendText(const QString& message);
    void sendBinaryFrame(qsizetype size);
    void closeByServer();
    bool hasCallbacks() const { return bool(callbacks_.didOpen); }

    QUrl url;
    HttpHeaders headers;
    QByteArrayList sent;
    int closeCalls = 0;
    bool finished = false;
    bool released = false; // the session dropped its handle

private:
    Callbacks callbacks_;
};

// One request an HttpClient was asked for; the test completes it.
struct FakeRequest {
    QByteArray method;
    QUrl url;
    HttpHeaders headers;
    QString folder; // downloads only: where the body's file goes
    HttpClient::Completion done;
    bool completed = false;

    QByteArray header(const QByteArray& name) const;
    // Reports the outcome once and lets go of the completion, which may hold
    // the session that made the request.
    void finish(const HttpClient::Outcome& outcome);
};

class FakeHttpClient : public HttpClient {
public:
    explicit FakeHttpClient(std::vector<std::shared_ptr<FakeRequest>>& requests)
        : requests_(requests) {}

    void download(const QUrl& url, const HttpHeaders& headers, const QString& folder,
                  Completion done) override;
    void deleteResource(const QUrl& url, const HttpHeaders& headers, Completion done) override;
    void abortAll() override;

private:
    std::vector<std::shared_ptr<FakeRequest>>& requests_;
};

// Hands out fake sockets and HTTP clients and keeps them for inspection; the
// test answers each request through complete() or failTransport().
class FakeNetworkAccess : public NetworkAccess {
public:
    std::unique_ptr<WebSocket> makeWebSocket() override;
    std::unique_ptr<HttpClient> makeHttpClient() override;

    FakeWebSocket& socket(int index) { return *sockets.at(index); }
    FakeWebSocket& lastSocket() { return *sockets.back(); }
    // Writes `body` into a new file in a download's folder and reports
    // success with that file.
    void complete(FakeRequest& request, const QByteArray& body = {});
    void failTransport(FakeRequest& request, const QString& error);

    std::vector<std::shared_ptr<FakeWebSocket>> sockets;
    std::vector<std::shared_ptr<FakeRequest>> requests;
};

} // namespace dravelo::test

#include "support/network/FakeNetworkAccess.h"

#include <QTemporaryFile>

namespace dravelo::test {
namespace {

// The session's handle on a fake socket.
class FakeWebSocketHandle : public WebSocket {
public:
    explicit FakeWebSocketHandle(std::shared_ptr<FakeWebSocket> socket)
        : socket_(std::move(socket)) {}
    ~FakeWebSocketHandle() override { socket_->released = true; }

    void setCallbacks(Callbacks callbacks) override { socket_->setCallbacks(std::move(callbacks)); }
    void open(const QUrl& url, const HttpHeaders& headers) override { socket_->open(url, headers); }
    void sendBinary(const QByteArray& message) override { socket_->sent.append(message); }
    void close() override { socket_->close(); }
    bool isFinished() const override { return socket_->finished; }

private:
    std::shared_ptr<FakeWebSocket> socket_;
};

} // namespace

void FakeWebSocket::open(const QUrl& openedUrl, const HttpHeaders& openedHeaders) {
    url = openedUrl;
    headers = openedHeaders;
}

void FakeWebSocket::close() {
    ++closeCalls;
    finished = true;
}

void FakeWebSocket::accept() {
    if (const auto callback = callbacks_.didOpen) {
        callback();
    }
}

void FakeWebSocket::fail(const QString& error) {
    finished = true;
    if (const auto callback = callbacks_.didFail) {
        callback(error);
    }
}

void FakeWebSocket::sendText(const QString& message) {
    if (const auto callback = callbacks_.didReceiveText) {
        callback(message);
    }
}

void FakeWebSocket::sendBinaryFrame(qsizetype size) {
    if (const auto callback = callbacks_.didReceiveBinary) {
        callback(size);
    }
}

void FakeWebSocket::closeByServer() {
    finished = true;
    if (const auto callback = callbacks_.didClose) {
        callback();
    }
}

QByteArray FakeRequest::header(const QByteArray& name) const {
    for (const auto& [key, value] : headers) {
        if (key == name) {
            return value;
        }
    }
    return {};
}

void FakeHttpClient::download(const QUrl& url, const HttpHeaders& headers, const QString& folder,
                              Completion done) {
    requests_.push_back(
        std::make_shared<FakeRequest>(FakeRequest{"GET", url, headers, folder, std::move(done)}));
}

void FakeHttpClient::deleteResource(const QUrl& url, const HttpHeaders& headers, Completion done) {
    requests_.push_back(
        std::make_shared<FakeRequest>(FakeRequest{"DELETE", url, headers, {}, std::move(done)}));
}

void FakeRequest::finish(const HttpClient::Outcome& outcome) {
    completed = true;
    const HttpClient::Completion report = std::move(done);
    done = nullptr;
    report(outcome);
}

void FakeHttpClient::abortAll() {
    for (const auto& request : requests_) {
        if (!request->completed) {
            request->finish({Outcome::TransportFailed, QStringLiteral("Operation canceled")});
        }
    }
}

std::unique_ptr<WebSocket> FakeNetworkAccess::makeWebSocket() {
    sockets.push_back(std::make_shared<FakeWebSocket>());
    return std::make_unique<FakeWebSocketHandle>(sockets.back());
}

std::unique_ptr<HttpClient> FakeNetworkAccess::makeHttpClient() {
    return std::make_unique<FakeHttpClient>(requests);
}

void FakeNetworkAccess::complete(FakeRequest& request, const QByteArray& body) {
    if (request.folder.isEmpty()) {
        request.finish({});
        return;
    }
    QTemporaryFile file(request.folder + QStringLiteral("/.fake-download-XXXXXX"));
    file.setAutoRemove(false);
    if (!file.open() || file.write(body) != body.size()) {
        request.finish({HttpClient::Outcome::WriteFailed, file.errorString()});
        return;
    }
    request.finish({HttpClient::Outcome::Succeeded, {}, file.fileName()});
}

void FakeNetworkAccess::failTransport(FakeRequest& request, const QString& error) {
    request.finish({HttpClient::Outcome::TransportFailed, error});
}

} // namespace dravelo::test

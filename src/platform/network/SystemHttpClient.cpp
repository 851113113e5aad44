#include "platform/network/SystemHttpClient.h"

#include <QFileInfo>
#include <QNetworkReply>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace dravelo {
namespace {

constexpr qint64 readBufferSize = 1024 * 1024;

// True when the reply ended with a whole response, whatever its status: an
// HTTP response arrived and nothing cut it short (a refused, broken, timed
// out or aborted connection, a response that could not be read). Qt reports
// HTTP error statuses as errors of several kinds, so the kind alone does not
// tell.
bool deliveredWholeBody(QNetworkReply* reply) {
    const bool responded = !reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isNull();
    const int error = reply->error();
    const bool cutShort = (error >= QNetworkReply::ConnectionRefusedError &&
                           error <= QNetworkReply::UnknownNetworkError) ||
                          error == QNetworkReply::ProtocolFailure;
    return responded && !cutShort;
}

HttpClient::Outcome transportFailure(QNetworkReply* reply) {
    return {HttpClient::Outcome::TransportFailed, reply->errorString()};
}

} // namespace

// One GET streamed into a temporary file in the target's folder. The
// temporary file's name never ends like a job file, so nothing picks it up
// half written.
class SystemHttpClient::Download {
public:
    Download(QNetworkReply* reply, const QString& filePath, Completion done)
        : reply_(reply)
        , filePath_(filePath)
        , file_(QFileInfo(filePath).absolutePath() + QStringLiteral("/.dravelo-download-XXXXXX"))
        , done_(std::move(done)) {}

    void start() {
        if (!file_.open()) {
            writeError_ = file_.errorString();
            reply_->abort();
            return;
        }
        QObject::connect(reply_, &QNetworkReply::readyRead, reply_, [this] { writeAvailable(); });
    }

    void finish() {
        Outcome outcome = conclude();
        file_.remove();
        const Completion done = std::move(done_);
        reply_->deleteLater();
        delete this;
        done(outcome);
    }

private:
    void writeAvailable() {
        while (writeError_.isEmpty() && reply_->bytesAvailable() > 0) {
            const QByteArray piece = reply_->read(readBufferSize);
            if (file_.write(piece) != piece.size()) {
                writeError_ = file_.errorString();
                // Aborting a running reply finishes it at once, and that
                // deletes this download: touch nothing after it.
                reply_->abort();
                return;
            }
        }
    }

    Outcome conclude() {
        if (!writeError_.isEmpty()) {
            return {Outcome::WriteFailed, writeError_};
        }
        if (!deliveredWholeBody(reply_)) {
            return transportFailure(reply_);
        }
        writeAvailable();
        if (writeError_.isEmpty() && !file_.flush()) {
            writeError_ = file_.errorString();
        }
        if (writeError_.isEmpty() && std::rename(QFile::encodeName(file_.fileName()).constData(),
                                                 QFile::encodeName(filePath_).constData()) != 0) {
            writeError_ = QString::fromLocal8Bit(std::strerror(errno));
        }
        if (!writeError_.isEmpty()) {
            return {Outcome::WriteFailed, writeError_};
        }
        file_.setAutoRemove(false);
        return {};
    }

    QNetworkReply* reply_;
    QString filePath_;
    QTemporaryFile file_;
    Completion done_;
    QString writeError_;
};

SystemHttpClient::SystemHttpClient(std::chrono::milliseconds stallLimit)
    : stallLimit_(stallLimit) {
    manager_.setAutoDeleteReplies(false);
}

SystemHttpClient::~SystemHttpClient() {
    abortAll();
}

QNetworkRequest SystemHttpClient::makeRequest(const QUrl& url, const HttpHeaders& headers) const {
    QNetworkRequest request(url);
    for (const auto& [name, value] : headers) {
        request.setRawHeader(name, value);
    }
    // Ends a request without progress for that long, whatever its status.
    request.setTransferTimeout(static_cast<int>(stallLimit_.count()));
    return request;
}

void SystemHttpClient::download(const QUrl& url, const HttpHeaders& headers,
                                const QString& filePath, Completion done) {
    QNetworkReply* reply = manager_.get(makeRequest(url, headers));
    reply->setReadBufferSize(readBufferSize);
    auto* download = new Download(reply, filePath, std::move(done));
    QObject::connect(reply, &QNetworkReply::finished, reply, [download] { download->finish(); });
    download->start();
}

void SystemHttpClient::deleteResource(const QUrl& url, const HttpHeaders& headers,
                                      Completion done) {
    QNetworkReply* reply = manager_.deleteResource(makeRequest(url, headers));
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, done = std::move(done)] {
        reply->deleteLater();
        done(deliveredWholeBody(reply) ? Outcome{} : transportFailure(reply));
    });
}

void SystemHttpClient::abortAll() {
    for (QNetworkReply* reply : manager_.findChildren<QNetworkReply*>()) {
        if (reply->isRunning()) {
            reply->abort();
        }
    }
}

} // namespace dravelo

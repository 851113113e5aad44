#include "platform/network/SystemHttpClient.h"

#include "platform/files/DiskReserve.h"

#include <QNetworkReply>
#include <QTemporaryFile>
#include <QTimer>

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

// One GET streamed into a temporary file in the folder it is meant for. The
// temporary file's name never ends like a job file, so nothing picks it up
// half written.
class SystemHttpClient::Download {
public:
    Download(QNetworkReply* reply, const QString& folder, const Limits& limits, Completion done)
        : reply_(reply)
        , file_(folder + QStringLiteral("/.dravelo-download-XXXXXX"))
        , reserve_(limits.reserveShare, limits.reserveMinimum)
        , totalLimit_(limits.total)
        , done_(std::move(done)) {}

    void start() {
        if (!file_.open()) {
            writeError_ = file_.errorString();
            reply_->abort();
            return;
        }
        QObject::connect(reply_, &QNetworkReply::readyRead, reply_, [this] { writeAvailable(); });
        // Parented to the reply, which outlives this download until its
        // deferred deletion; stopped when the download finishes.
        totalTimer_ = new QTimer(reply_);
        totalTimer_->setSingleShot(true);
        QObject::connect(totalTimer_, &QTimer::timeout, reply_, [this] {
            timedOut_ = true;
            // Finishes the reply at once, which deletes this download.
            reply_->abort();
        });
        totalTimer_->start(totalLimit_);
    }

    void finish() {
        if (totalTimer_) {
            totalTimer_->stop();
        }
        const Outcome outcome = conclude();
        const Completion done = std::move(done_);
        reply_->deleteLater();
        delete this;
        done(outcome);
    }

private:
    void writeAvailable() {
        while (writeError_.isEmpty() && reply_->bytesAvailable() > 0) {
            const QByteArray piece = reply_->read(readBufferSize);
            if (!reserve_.allows(file_.handle(), piece.size(), writeError_) ||
                file_.write(piece) != piece.size()) {
                if (writeError_.isEmpty()) {
                    writeError_ = file_.errorString();
                }
                // Aborting a running reply finishes it at once, and that
                // deletes this download: touch nothing after it.
                reply_->abort();
                return;
            }
        }
    }

    Outcome conclude() {
        if (timedOut_) {
            return {Outcome::TransportFailed,
                    QStringLiteral("the download took longer than %1 s")
                        .arg(static_cast<double>(totalLimit_.count()) / 1000.0)};
        }
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
        if (!writeError_.isEmpty()) {
            return {Outcome::WriteFailed, writeError_};
        }
        file_.setAutoRemove(false);
        return {Outcome::Succeeded, {}, file_.fileName()};
    }

    QNetworkReply* reply_;
    QTemporaryFile file_;
    DiskReserve reserve_;
    std::chrono::milliseconds totalLimit_;
    QTimer* totalTimer_ = nullptr;
    bool timedOut_ = false;
    Completion done_;
    QString writeError_;
};

SystemHttpClient::SystemHttpClient(Limits limits)
    : limits_(limits) {
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
    request.setTransferTimeout(static_cast<int>(limits_.stall.count()));
    return request;
}

void SystemHttpClient::download(const QUrl& url, const HttpHeaders& headers, const QString& folder,
                                Completion done) {
    QNetworkReply* reply = manager_.get(makeRequest(url, headers));
    reply->setReadBufferSize(readBufferSize);
    auto* download = new Download(reply, folder, limits_, std::move(done));
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

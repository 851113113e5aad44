#pragma once

#include "platform/network/HttpClient.h"

#include <QNetworkAccessManager>

#include <chrono>

class QNetworkReply;

namespace dravelo {

// HTTP on QNetworkAccessManager. A download is read in bounded pieces and
// written to its temporary file as it arrives, so a large body is never held
// in memory, and it is given up before it would fill the disk.
class SystemHttpClient : public HttpClient {
public:
    struct Limits {
        // A request without progress for this long is given up.
        std::chrono::milliseconds stall;
        // A download that takes longer than this in all is given up.
        std::chrono::milliseconds total;
        // A download stops before it would leave less free space on its file
        // system than the larger of this share of the file system's size
        // and the minimum.
        double reserveShare;
        qint64 reserveMinimum;
    };
    static constexpr Limits defaultLimits{std::chrono::seconds(60), std::chrono::minutes(10), 0.05,
                                          1024LL * 1024 * 1024};

    explicit SystemHttpClient(Limits limits = defaultLimits);
    ~SystemHttpClient() override;

    void download(const QUrl& url, const HttpHeaders& headers, const QString& folder,
                  Completion done) override;
    void deleteResource(const QUrl& url, const HttpHeaders& headers, Completion done) override;
    void abortAll() override;

private:
    class Download;

    QNetworkRequest makeRequest(const QUrl& url, const HttpHeaders& headers) const;

    QNetworkAccessManager manager_;
    Limits limits_;
};

} // namespace dravelo

#pragma once

#include "platform/network/HttpClient.h"

#include <QNetworkAccessManager>

#include <chrono>

class QNetworkReply;

namespace dravelo {

// HTTP on QNetworkAccessManager. A download is read in bounded pieces and
// written to a private temporary file beside its target as it arrives, so a
// large body is never held in memory; the file is renamed into place once
// the body is complete. A request without progress for `stallLimit` is given
// up.
class SystemHttpClient : public HttpClient {
public:
    static constexpr std::chrono::seconds stallTimeout{60};

    explicit SystemHttpClient(std::chrono::milliseconds stallLimit = stallTimeout);
    ~SystemHttpClient() override;

    void download(const QUrl& url, const HttpHeaders& headers, const QString& filePath,
                  Completion done) override;
    void deleteResource(const QUrl& url, const HttpHeaders& headers, Completion done) override;
    void abortAll() override;

private:
    class Download;

    QNetworkRequest makeRequest(const QUrl& url, const HttpHeaders& headers) const;

    QNetworkAccessManager manager_;
    std::chrono::milliseconds stallLimit_;
};

} // namespace dravelo

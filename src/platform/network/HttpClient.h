#pragma once

#include "platform/network/HttpHeaders.h"

#include <QString>
#include <QUrl>

#include <functional>

namespace dravelo {

// HTTP requests whose outcome arrives as a callback on the thread that owns
// the client. A request without progress for a while is given up as a
// transport failure.
class HttpClient {
public:
    struct Outcome {
        enum Kind { Succeeded, TransportFailed, WriteFailed };
        Kind kind = Succeeded;
        // Why it failed; empty on success.
        QString error;
    };
    using Completion = std::function<void(const Outcome& outcome)>;

    virtual ~HttpClient() = default;

    // GET whose body, whatever the status, is streamed into `filePath`: the
    // file is replaced as a whole once the body is complete, and nothing
    // appears under that name otherwise. A link at the path is replaced, not
    // followed.
    virtual void download(const QUrl& url, const HttpHeaders& headers, const QString& filePath,
                          Completion done) = 0;
    // DELETE; only a transport failure counts, not the status.
    virtual void deleteResource(const QUrl& url, const HttpHeaders& headers, Completion done) = 0;
    // Gives up every request under way; their completions report transport
    // failures before this returns.
    virtual void abortAll() = 0;
};

} // namespace dravelo

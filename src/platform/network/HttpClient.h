#pragma once

#include "platform/network/HttpHeaders.h"

#include <QString>
#include <QUrl>

#include <functional>

namespace dravelo {

// HTTP requests whose outcome arrives as a callback on the thread that owns
// the client. A request without progress for a while, or that takes too long
// in all, is given up as a transport failure.
class HttpClient {
public:
    struct Outcome {
        enum Kind { Succeeded, TransportFailed, WriteFailed };
        Kind kind = Succeeded;
        // Why it failed; empty on success.
        QString error;
        // A download's file; empty otherwise.
        QString filePath = {};
    };
    using Completion = std::function<void(const Outcome& outcome)>;

    virtual ~HttpClient() = default;

    // GET whose body, whatever the status, is streamed into a new temporary
    // file in `folder` that only the user may read. Once the body is complete
    // the outcome names that file, which is then the caller's to move into
    // place or delete; a download that fails leaves nothing behind. The
    // file's name never ends like a job's file.
    virtual void download(const QUrl& url, const HttpHeaders& headers, const QString& folder,
                          Completion done) = 0;
    // DELETE; only a transport failure counts, not the status.
    virtual void deleteResource(const QUrl& url, const HttpHeaders& headers, Completion done) = 0;
    // Gives up every request under way; their completions report transport
    // failures before this returns.
    virtual void abortAll() = 0;
};

} // namespace dravelo

#pragma once

#include "platform/network/HttpHeaders.h"

#include <QJsonValue>
#include <QString>
#include <QUrl>

#include <optional>

namespace dravelo {

// A job announced by the print server: its identifier and the names of its
// two files, checked, with the requests that fetch the files into the home
// directory and delete the job on the server.
class JobPackage {
public:
    enum class File { PrintData, Configuration };

    // Reads the "data" of a job package. Refused: a payload that is not an
    // object, a member that is missing or not a string, a file name that is
    // not a plain name in one folder, and values that cannot travel in a
    // header field; `error` then holds the log line saying why.
    static std::optional<JobPackage> parse(const QJsonValue& data, const QString& serviceUrl,
                                           const QString& homePath, QString& error);

    // True for a name that stays inside the folder it is joined to.
    static bool isPlainFileName(const QString& name);

    // The "Authorization" value that every request of the job carries.
    void setAuthorization(const QString& value) { authorization_ = value.toUtf8(); }

    QUrl downloadUrl(File file) const;
    HttpHeaders downloadHeaders(File file) const;
    QString localPath(File file) const;
    QUrl deleteUrl() const;
    HttpHeaders deleteHeaders() const;

private:
    JobPackage() = default;

    const QString& fileName(File file) const;

    QString serviceUrl_;
    QString homePath_;
    QString printJobId_;
    QString dataFile_;
    QString configFile_;
    QByteArray authorization_;
};

} // namespace dravelo

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
    // object; a member that is missing or not a string; file names that are
    // not plain names in one folder or not the two files of one job file pair;
    // a job identifier that is empty or a dot segment; and values that cannot
    // travel in a header field. `error` then holds the log line saying why.
    static std::optional<JobPackage> parse(const QJsonValue& data, const QString& serviceUrl,
                                           const QString& homePath, QString& error);

    // True for a name that stays inside the folder it is joined to, that the
    // file system takes as it is, and that fits in a header field.
    static bool isPlainFileName(const QString& name);

    // The "Authorization" value that every request of the job carries.
    void setAuthorization(const QString& value) { authorization_ = value.toUtf8(); }

    // The names and the job identifier go into the URLs as one
    // percent-encoded path segment each.
    QUrl downloadUrl(File file) const;
    HttpHeaders downloadHeaders(File file) const;
    QString localPath(File file) const;
    QUrl deleteUrl() const;
    HttpHeaders deleteHeaders() const;

private:
    JobPackage() = default;

    const QString& fileName(File file) const;
    // The first reason the names or the identifier are refused, or nothing.
    std::optional<QString> refusal() const;

    QString serviceUrl_;
    QString homePath_;
    QString printJobId_;
    QString dataFile_;
    QString configFile_;
    QByteArray authorization_;
};

} // namespace dravelo

#include "server/JobPackage.h"

#include "base/JobFilePair.h"
#include "base/StagingDirectory.h"
#include "platform/core/Log.h"

#include <QJsonObject>

#include <algorithm>

namespace dravelo {
namespace {

constexpr qsizetype loggedValueLength = 256;

// Control characters would end or split a header field.
bool fitsInHeader(const QString& value) {
    return std::none_of(value.cbegin(), value.cend(),
                        [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

QString quoted(const QString& value) {
    return QLatin1Char('"') + Log::shortened(value, loggedValueLength) + QLatin1Char('"');
}

QString memberError(const QString& member) {
    return QStringLiteral("Got an error: the job package's \"%1\" is missing or not a string")
        .arg(member);
}

// One path segment, whatever the value holds: "/", "?", "#", "%", spaces
// and non-ASCII characters are all percent-encoded.
QString pathSegment(const QString& value) {
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

} // namespace

bool JobPackage::isPlainFileName(const QString& name) {
    // A lone surrogate would be written to disk under another name than the
    // one asked of the server.
    return StagingDirectory::isJobFileName(name) && name.isValidUtf16() && fitsInHeader(name);
}

std::optional<JobPackage> JobPackage::parse(const QJsonValue& data, const QString& serviceUrl,
                                            const QString& homePath, QString& error) {
    if (!data.isObject()) {
        error = QStringLiteral("Got an error: the job package's \"data\" is not an object");
        return std::nullopt;
    }
    const QJsonObject payload = data.toObject();
    JobPackage job;
    job.serviceUrl_ = serviceUrl;
    job.homePath_ = homePath;
    const std::pair<const char*, QString*> members[] = {{"PrintJobId", &job.printJobId_},
                                                        {"DataFile", &job.dataFile_},
                                                        {"ConfigFile", &job.configFile_}};
    for (const auto& [name, field] : members) {
        const QJsonValue value = payload.value(QLatin1String(name));
        if (!value.isString()) {
            error = memberError(QLatin1String(name));
            return std::nullopt;
        }
        *field = value.toString();
    }
    if (const std::optional<QString> refused = job.refusal()) {
        error = QStringLiteral("Refused a job package: %1").arg(*refused);
        return std::nullopt;
    }
    return job;
}

std::optional<QString> JobPackage::refusal() const {
    for (const QString* name : {&dataFile_, &configFile_}) {
        if (!isPlainFileName(*name)) {
            return QStringLiteral("%1 is not a plain file name").arg(quoted(*name));
        }
    }
    // Only a job file pair may be written: NAME.ppf and NAME.pcf, NAME not
    // empty.
    const QString suffix = QLatin1Char('.') + JobFilePair::configurationExtension;
    if (!JobFilePair::isConfigurationFileName(configFile_) || configFile_ == suffix ||
        dataFile_ != JobFilePair::printDataPath(configFile_)) {
        return QStringLiteral("%1 and %2 are not the print data and configuration of one job")
            .arg(quoted(dataFile_), quoted(configFile_));
    }
    if (!fitsInHeader(printJobId_)) {
        return QStringLiteral("the job identifier %1 holds control characters")
            .arg(quoted(printJobId_));
    }
    // A dot segment would name another resource on the server.
    if (printJobId_.isEmpty() || printJobId_ == QLatin1String(".") ||
        printJobId_ == QLatin1String("..")) {
        return QStringLiteral("the job identifier %1 names no job").arg(quoted(printJobId_));
    }
    return std::nullopt;
}

const QString& JobPackage::fileName(File file) const {
    return file == File::PrintData ? dataFile_ : configFile_;
}

QUrl JobPackage::downloadUrl(File file) const {
    return QUrl(QStringLiteral("http://") + serviceUrl_ +
                    QStringLiteral("/SessionStorage/api/printjob/file/") +
                    pathSegment(fileName(file)) + QStringLiteral("/eoq"),
                QUrl::StrictMode);
}

HttpHeaders JobPackage::downloadHeaders(File file) const {
    return {{"Authorization", authorization_},
            {"File_Name", fileName(file).toUtf8()},
            {"Print_Job_Id", printJobId_.toUtf8()},
            {"Print_Job_Type", file == File::PrintData ? "ppf" : "pcf"}};
}

QString JobPackage::localPath(File file) const {
    return homePath_ + QLatin1Char('/') + fileName(file);
}

QUrl JobPackage::deleteUrl() const {
    return QUrl(QStringLiteral("http://") + serviceUrl_ +
                    QStringLiteral("/SessionStorage/api/PrintJob/") + pathSegment(printJobId_),
                QUrl::StrictMode);
}

HttpHeaders JobPackage::deleteHeaders() const {
    return {{"Authorization", authorization_}, {"Print_Job_Type", "delete"}};
}

} // namespace dravelo

#include "server/JobPackage.h"

#include <QJsonObject>

#include <algorithm>

namespace dravelo {
namespace {

// Control characters would end or split a header field.
bool fitsInHeader(const QString& value) {
    return std::none_of(value.cbegin(), value.cend(),
                        [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

QString quoted(const QString& value) {
    QString text;
    for (const QChar c : value) {
        text += c.unicode() < 0x20 || c.unicode() == 0x7f
                    ? QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'))
                    : QString(c);
    }
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString memberError(const QString& member) {
    return QStringLiteral("Got an error: the job package's \"%1\" is missing or not a string")
        .arg(member);
}

} // namespace

bool JobPackage::isPlainFileName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && fitsInHeader(name);
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
    for (const QString* name : {&job.dataFile_, &job.configFile_}) {
        if (!isPlainFileName(*name)) {
            error = QStringLiteral("Refused a job package: %1 is not a plain file name")
                        .arg(quoted(*name));
            return std::nullopt;
        }
    }
    if (!fitsInHeader(job.printJobId_)) {
        error = QStringLiteral("Refused a job package: the job identifier %1 holds control "
                               "characters")
                    .arg(quoted(job.printJobId_));
        return std::nullopt;
    }
    return job;
}

const QString& JobPackage::fileName(File file) const {
    return file == File::PrintData ? dataFile_ : configFile_;
}

QUrl JobPackage::downloadUrl(File file) const {
    return QUrl(QStringLiteral("http://") + serviceUrl_ +
                    QStringLiteral("/SessionStorage/api/printjob/file/") + fileName(file) +
                    QStringLiteral("/eoq"),
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
                    QStringLiteral("/SessionStorage/api/PrintJob/") + printJobId_,
                QUrl::StrictMode);
}

HttpHeaders JobPackage::deleteHeaders() const {
    return {{"Authorization", authorization_}, {"Print_Job_Type", "delete"}};
}

} // namespace dravelo

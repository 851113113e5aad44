#include "server/JobTransfer.h"

#include "platform/core/Log.h"
#include "platform/files/FileManager.h"

#include <QFile>

#include <cerrno>
#include <cstring>

namespace dravelo {

JobTransfer::JobTransfer(JobPackage job)
    : job_(std::move(job)) {}

JobTransfer::~JobTransfer() {
    discard();
}

void JobTransfer::took(JobPackage::File file, const HttpClient::Outcome& outcome) {
    if (outcome.kind == HttpClient::Outcome::Succeeded) {
        temporary(file) = outcome.filePath;
        return;
    }
    failed_ = true;
    const QString what = outcome.kind == HttpClient::Outcome::WriteFailed
                             ? QStringLiteral("Could not write")
                             : QStringLiteral("Could not download");
    log(QStringLiteral("%1 %2: %3; the job stays on the server.")
            .arg(what, job_.localPath(file), outcome.error));
}

bool JobTransfer::place() {
    for (const JobPackage::File file :
         {JobPackage::File::PrintData, JobPackage::File::Configuration}) {
        const QString target = job_.localPath(file);
        if (!FileManager::replaceItem(temporary(file), target)) {
            log(QStringLiteral("Could not write %1: %2; the job stays on the server.")
                    .arg(target, QString::fromLocal8Bit(std::strerror(errno))));
            return false;
        }
        temporary(file).clear();
    }
    return true;
}

void JobTransfer::discard() {
    for (QString& path : temporaries_) {
        if (!path.isEmpty()) {
            QFile::remove(path);
            path.clear();
        }
    }
}

QString& JobTransfer::temporary(JobPackage::File file) {
    return temporaries_.at(file == JobPackage::File::PrintData ? 0 : 1);
}

} // namespace dravelo

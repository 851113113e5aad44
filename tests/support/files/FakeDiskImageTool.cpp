#include "support/files/FakeDiskImageTool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <ostream>

namespace dravelo {

bool FakeDiskImageTool::createImage(const QString& imagePath, qint64 sizeBytes,
                                    const QString& volumeName) {
    record(QStringLiteral("createImage"), {imagePath, QString::number(sizeBytes), volumeName});
    std::lock_guard lock(mutex_);
    if (!createSucceeds_ || QFileInfo::exists(imagePath)) {
        return false;
    }
    QFile image(imagePath);
    return image.open(QIODevice::WriteOnly | QIODevice::NewOnly);
}

DiskImageTool::AttachResult FakeDiskImageTool::attachImage(const QString& imagePath,
                                                           const QString& mountPoint) {
    record(QStringLiteral("attachImage"), {imagePath, mountPoint});
    std::lock_guard lock(mutex_);
    if (attachResult_ != AttachResult::Attached) {
        return attachResult_;
    }
    if (!QDir().mkpath(mountPoint)) {
        return AttachResult::Failed;
    }
    attached_ << mountPoint;
    return AttachResult::Attached;
}

void FakeDiskImageTool::forceDetach(const QString& mountPoint) {
    record(QStringLiteral("forceDetach"), {mountPoint});
    {
        std::lock_guard lock(mutex_);
        if (!attached_.removeAll(mountPoint)) {
            return;
        }
    }
    const QDir mountDir(mountPoint);
    const QStringList entries =
        mountDir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : entries) {
        const QFileInfo entry(mountDir.filePath(name));
        if (entry.isDir() && !entry.isSymLink()) {
            QDir(entry.filePath()).removeRecursively();
        } else {
            QFile::remove(entry.filePath());
        }
    }
}

void FakeDiskImageTool::cleanStaleMount(const QString& mountPoint) {
    record(QStringLiteral("cleanStaleMount"), {mountPoint});
}

DiskImageTool::Mode FakeDiskImageTool::mode() const {
    std::lock_guard lock(mutex_);
    return mode_;
}

void FakeDiskImageTool::setCreateSucceeds(bool succeeds) {
    std::lock_guard lock(mutex_);
    createSucceeds_ = succeeds;
}

void FakeDiskImageTool::setAttachResult(AttachResult result) {
    std::lock_guard lock(mutex_);
    attachResult_ = result;
}

void FakeDiskImageTool::setMode(Mode mode) {
    std::lock_guard lock(mutex_);
    mode_ = mode;
}

std::vector<FakeDiskImageTool::Call> FakeDiskImageTool::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

QStringList FakeDiskImageTool::operations() const {
    std::lock_guard lock(mutex_);
    QStringList names;
    for (const Call& call : calls_) {
        names << call.operation;
    }
    return names;
}

void FakeDiskImageTool::clearCalls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

void FakeDiskImageTool::record(const QString& operation, const QStringList& arguments) {
    std::lock_guard lock(mutex_);
    calls_.push_back({operation, arguments});
}

void PrintTo(const FakeDiskImageTool::Call& call, std::ostream* out) {
    *out << call.operation.toStdString() << '('
         << call.arguments.join(QStringLiteral(", ")).toStdString() << ')';
}

} // namespace dravelo

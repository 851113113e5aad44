#include "support/files/FakeDiskImageTool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <ostream>

namespace dravelo {

bool FakeDiskImageTool::createImage(const QString& imagePath, qint64 sizeBytes,
                                    const QString& volumeName) {
    record(QStringLiteral("createImage"), {imagePath, QString::number(sizeBytes), volumeName});
    std::lock_guard lock(m_mutex);
    if (!m_createSucceeds || QFileInfo::exists(imagePath)) {
        return false;
    }
    QFile image(imagePath);
    return image.open(QIODevice::WriteOnly | QIODevice::NewOnly);
}

DiskImageTool::AttachResult FakeDiskImageTool::attachImage(const QString& imagePath,
                                                           const QString& mountPoint) {
    record(QStringLiteral("attachImage"), {imagePath, mountPoint});
    std::lock_guard lock(m_mutex);
    if (m_attachResult != AttachResult::Attached) {
        return m_attachResult;
    }
    if (!QDir().mkpath(mountPoint)) {
        return AttachResult::Failed;
    }
    m_attached << mountPoint;
    return AttachResult::Attached;
}

void FakeDiskImageTool::forceDetach(const QString& mountPoint) {
    record(QStringLiteral("forceDetach"), {mountPoint});
    {
        std::lock_guard lock(m_mutex);
        if (!m_attached.removeAll(mountPoint)) {
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
    std::lock_guard lock(m_mutex);
    return m_mode;
}

void FakeDiskImageTool::setCreateSucceeds(bool succeeds) {
    std::lock_guard lock(m_mutex);
    m_createSucceeds = succeeds;
}

void FakeDiskImageTool::setAttachResult(AttachResult result) {
    std::lock_guard lock(m_mutex);
    m_attachResult = result;
}

void FakeDiskImageTool::setMode(Mode mode) {
    std::lock_guard lock(m_mutex);
    m_mode = mode;
}

std::vector<FakeDiskImageTool::Call> FakeDiskImageTool::calls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

QStringList FakeDiskImageTool::operations() const {
    std::lock_guard lock(m_mutex);
    QStringList names;
    for (const Call& call : m_calls) {
        names << call.operation;
    }
    return names;
}

void FakeDiskImageTool::clearCalls() {
    std::lock_guard lock(m_mutex);
    m_calls.clear();
}

void FakeDiskImageTool::record(const QString& operation, const QStringList& arguments) {
    std::lock_guard lock(m_mutex);
    m_calls.push_back({operation, arguments});
}

void PrintTo(const FakeDiskImageTool::Call& call, std::ostream* out) {
    *out << call.operation.toStdString() << '('
         << call.arguments.join(QStringLiteral(", ")).toStdString() << ')';
}

} // namespace dravelo

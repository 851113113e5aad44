#include "base/StagingDirectory.h"

#include "platform/core/Log.h"
#include "platform/files/FileManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <climits>
#include <sys/stat.h>

namespace dravelo {

StagingDirectory::StagingDirectory(const QString& homePath)
    : path_(homePath + QStringLiteral("/.dravelo")) {}

QString StagingDirectory::entryPath(const QString& name) const {
    return path_ + QLatin1Char('/') + name;
}

void StagingDirectory::create() const {
    QDir().mkpath(QFileInfo(path_).absolutePath());
    const QByteArray native = QFile::encodeName(path_);
    if (::mkdir(native.constData(), S_IRWXU) != 0 && isDirectory()) {
        ::chmod(native.constData(), S_IRWXU);
    }
}

bool StagingDirectory::isDirectory() const {
    const QFileInfo info(path_);
    return info.exists() && info.isDir() && !info.isSymLink();
}

void StagingDirectory::empty() const {
    if (FileManager::entryKind(path_) != FileManager::EntryKind::Directory) {
        log(QStringLiteral("%1 is not a directory; nothing in it is deleted.").arg(path_));
        return;
    }
    FileManager::emptyDirectory(path_);
}

bool StagingDirectory::isJobFileName(const QString& name) {
    const QByteArray encoded = QFile::encodeName(name);
    return !name.isEmpty() && name != QStringLiteral(".") && name != QStringLiteral("..") &&
           !name.contains(QLatin1Char('/')) && !encoded.contains('\0') &&
           encoded.size() <= NAME_MAX && name != driveImageName;
}

} // namespace dravelo

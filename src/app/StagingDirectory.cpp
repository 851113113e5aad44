#include "app/StagingDirectory.h"

#include "platform/files/FileManager.h"

#include <QDir>
#include <QFileInfo>

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
    QDir directory(path_);
    const QFileInfoList entries = directory.entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                          QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        FileManager::removeItem(entry.filePath());
    }
}

} // namespace dravelo

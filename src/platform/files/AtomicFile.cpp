#include "platform/files/AtomicFile.h"

#include "platform/files/FileManager.h"

#include <cerrno>
#include <cstring>

namespace dravelo {

AtomicFile::AtomicFile(const QString& folder)
    // A hidden name that never ends like a job's file.
    : file_(folder + QStringLiteral("/.dravelo-write-XXXXXX")) {}

bool AtomicFile::open() {
    if (!file_.open()) {
        error_ = file_.errorString();
        return false;
    }
    return true;
}

bool AtomicFile::write(const char* data, qsizetype size) {
    if (file_.write(data, size) != size) {
        error_ = file_.errorString();
        return false;
    }
    return true;
}

bool AtomicFile::commit(const QString& path) {
    if (!file_.flush()) {
        error_ = file_.errorString();
        return false;
    }
    if (!FileManager::replaceItem(file_.fileName(), path)) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    file_.setAutoRemove(false);
    return true;
}

} // namespace dravelo

#include "platform/files/FileManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dravelo {
namespace {

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// rename() that fails with EEXIST instead of replacing the target.
int renameNoReplace(const QByteArray& source, const QByteArray& target) {
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return -1;
    }
    // File systems without the flag: link() never replaces; folders cannot
    // be linked, so they only move where nothing is at the target.
    struct stat info = {};
    if (::lstat(source.constData(), &info) == 0 && S_ISDIR(info.st_mode)) {
        if (::lstat(target.constData(), &info) == 0) {
            errno = EEXIST;
            return -1;
        }
        return ::rename(source.constData(), target.constData());
    }
    if (::link(source.constData(), target.constData()) != 0) {
        return -1;
    }
    return ::unlink(source.constData());
}

bool copyContents(int from, int to) {
    for (;;) {
        const ssize_t copied = ::copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
        if (copied == 0) {
            return true;
        }
        if (copied > 0) {
            continue;
        }
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
            return false;
        }
        break;
    }
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got == 0) {
            return true;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(to, buffer + done, static_cast<size_t>(got - done));
            if (put < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return false;
            }
            done += put;
        }
    }
}

} // namespace

bool FileManager::moveItem(const QString& source, const QString& target) {
    if (renameNoReplace(native(source), native(target)) == 0) {
        return true;
    }
    return errno == EXDEV && copyThenRemove(source, target);
}

bool FileManager::copyThenRemove(const QString& source, const QString& target) {
    const QByteArray from = native(source);
    const QByteArray to = native(target);
    const int in = ::open(from.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (in < 0) {
        return false;
    }
    struct stat info = {};
    if (::fstat(in, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(in);
        return false;
    }
    const int out =
        ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 07777);
    if (out < 0) {
        ::close(in);
        return false;
    }
    const bool copied = copyContents(in, out);
    const bool closed = ::close(out) == 0;
    ::close(in);
    if (!copied || !closed) {
        ::unlink(to.constData());
        return false;
    }
    ::unlink(from.constData());
    return true;
}

bool FileManager::removeItem(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink()) {
        return QDir(path).removeRecursively();
    }
    return ::unlink(native(path).constData()) == 0;
}

} // namespace dravelo

#include "platform/files/FileManager.h"

#include <QFile>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

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

// The names in an open directory, without "." and "..". Listed before
// anything is removed, since removing entries while reading the directory
// leaves unspecified which entries are still listed.
std::vector<QByteArray> entryNames(int directoryFd) {
    std::vector<QByteArray> names;
    const int listingFd = ::dup(directoryFd);
    DIR* listing = listingFd < 0 ? nullptr : ::fdopendir(listingFd);
    if (listing == nullptr) {
        if (listingFd >= 0) {
            ::close(listingFd);
        }
        return names;
    }
    while (const dirent* entry = ::readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    ::closedir(listing);
    return names;
}

// Removes every entry of the open directory, folders with their contents.
// Entries are addressed relative to the descriptor and folders are entered
// with O_NOFOLLOW, so a link swapped in anywhere is removed, never followed.
bool removeEntriesAt(int directoryFd) {
    bool removedAll = true;
    for (const QByteArray& name : entryNames(directoryFd)) {
        if (::unlinkat(directoryFd, name.constData(), 0) == 0) {
            continue;
        }
        if (errno != EISDIR && errno != EPERM) {
            removedAll = false;
            continue;
        }
        const int inner = ::openat(directoryFd, name.constData(),
                                   O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (inner < 0) {
            removedAll = false;
            continue;
        }
        removedAll = removeEntriesAt(inner) && removedAll;
        ::close(inner);
        removedAll = ::unlinkat(directoryFd, name.constData(), AT_REMOVEDIR) == 0 && removedAll;
    }
    return removedAll;
}

} // namespace

FileManager::EntryKind FileManager::entryKind(const QString& path) {
    struct stat info = {};
    if (::lstat(native(path).constData(), &info) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? EntryKind::Missing : EntryKind::Other;
    }
    if (S_ISREG(info.st_mode)) {
        return EntryKind::RegularFile;
    }
    return S_ISDIR(info.st_mode) ? EntryKind::Directory : EntryKind::Other;
}

bool FileManager::emptyDirectory(const QString& path) {
    const int fd =
        ::open(native(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool emptied = removeEntriesAt(fd);
    ::close(fd);
    return emptied;
}

bool FileManager::moveItem(const QString& source, const QString& target) {
    if (renameNoReplace(native(source), native(target)) == 0) {
        return true;
    }
    return errno == EXDEV && copyThenRemove(source, target);
}

bool FileManager::replaceItem(const QString& source, const QString& target) {
    return ::rename(native(source).constData(), native(target).constData()) == 0;
}

bool FileManager::copyThenRemove(const QString& source, const QString& target) {
    const QByteArray from = native(source);
    const QByteArray to = native(target);
    // O_NONBLOCK: opening a FIFO must not wait for a writer; the type check
    // below then refuses it.
    const int in = ::open(from.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
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
    // A source that stays behind would be taken again and again: a move that
    // cannot delete it has failed, and its copy goes.
    if (::unlink(from.constData()) != 0) {
        ::unlink(to.constData());
        return false;
    }
    return true;
}

bool FileManager::removeItem(const QString& path) {
    if (entryKind(path) == EntryKind::Directory) {
        const bool emptied = emptyDirectory(path);
        return ::rmdir(native(path).constData()) == 0 && emptied;
    }
    return ::unlink(native(path).constData()) == 0;
}

} // namespace dravelo

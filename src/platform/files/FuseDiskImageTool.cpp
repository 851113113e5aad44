#include "platform/files/FuseDiskImageTool.h"

#include "platform/core/Log.h"
#include "platform/files/FileManager.h"
#include "platform/files/MountTable.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dravelo {
namespace {

using namespace std::chrono_literals;

constexpr auto formatTimeout = 60s;
constexpr auto mountTimeout = 5s;
constexpr auto mountPollInterval = 20ms;
constexpr auto unmountTimeout = 10s;
constexpr auto childExitAfterUnmount = 1s;
constexpr auto stopGrace = 2s;
// Mounts stacked on one mount point that a detach takes off, at most.
constexpr int maxStackedMounts = 8;

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray nativePath(const QString& path) {
    return QFile::encodeName(path);
}

// Looks a program up in PATH, then in the administrative directories a
// user's PATH often lacks (mkfs.ext4 lives in /usr/sbin).
QString findProgram(const QString& name) {
    QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty()) {
        path = QStandardPaths::findExecutable(
            name, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    }
    if (path.isEmpty()) {
        log(QStringLiteral("Program %1 not found in PATH, /usr/sbin or /sbin.").arg(name));
    }
    return path;
}

bool isEmptyDirectory(const QString& path) {
    return QDir(path).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System |
                              QDir::NoDotAndDotDot);
}

// A FUSE file system answers at `path`.
bool servesFuse(const QString& path) {
    struct statfs info {};
    return ::statfs(nativePath(path).constData(), &info) == 0 && info.f_type == FUSE_SUPER_MAGIC;
}

// A fresh volume's root: owner-only, and without the lost+found folder
// mkfs.ext4 makes, which would only puzzle whoever drops files there.
void prepareVolumeRoot(const QString& mountPoint) {
    const QString lostAndFound = mountPoint + QStringLiteral("/lost+found");
    if (::rmdir(nativePath(lostAndFound).constData()) != 0 && errno != ENOENT) {
        log(QStringLiteral("Cannot remove %1: %2").arg(lostAndFound, errorText(errno)));
    }
    if (::chmod(nativePath(mountPoint).constData(), 0700) != 0) {
        log(QStringLiteral("Cannot restrict access to %1: %2").arg(mountPoint, errorText(errno)));
    }
}

} // namespace

FuseDiskImageTool::FuseDiskImageTool(const QString& fuseDevice)
    : mkfs_(findProgram(QStringLiteral("mkfs.ext4")))
    , fuse2fs_(findProgram(QStringLiteral("fuse2fs")))
    , fusermount_(findProgram(QStringLiteral("fusermount3"))) {
    const QString reason = unavailableReason(fuseDevice);
    if (!reason.isEmpty()) {
        usePlainDirectories(reason);
    }
}

FuseDiskImageTool::~FuseDiskImageTool() = default;

DiskImageTool::Mode FuseDiskImageTool::mode() const {
    return mode_.load();
}

QString FuseDiskImageTool::unavailableReason(const QString& fuseDevice) const {
    QStringList missing;
    if (mkfs_.isEmpty()) {
        missing << QStringLiteral("mkfs.ext4");
    }
    if (fuse2fs_.isEmpty()) {
        missing << QStringLiteral("fuse2fs");
    }
    if (fusermount_.isEmpty()) {
        missing << QStringLiteral("fusermount3");
    }
    if (!missing.isEmpty()) {
        return QStringLiteral("%1 not installed").arg(missing.join(QStringLiteral(", ")));
    }
    const int fd = ::open(nativePath(fuseDevice).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        return QStringLiteral("%1: %2").arg(fuseDevice, errorText(errno));
    }
    ::close(fd);
    return {};
}

void FuseDiskImageTool::usePlainDirectories(const QString& reason) {
    plainReason_ = reason;
    mode_ = Mode::PlainDirectory;
}

DiskImageTool::AttachResult FuseDiskImageTool::preparePlainDirectory(const QString& mountPoint) {
    if (!plainAnnounced_) {
        plainAnnounced_ = true;
        log(QStringLiteral("FUSE cannot be used (%1); the drop volume at %2 is a plain directory.")
                .arg(plainReason_, mountPoint));
    }
    return claimMountPoint(mountPoint);
}

// The tool empties, and mounts over, only a folder it made or found empty:
// whatever else is at the mount point belongs to the user.
DiskImageTool::AttachResult FuseDiskImageTool::claimMountPoint(const QString& mountPoint) {
    if (claimedMountPoints_.contains(mountPoint) &&
        FileManager::entryKind(mountPoint) == FileManager::EntryKind::Directory) {
        return AttachResult::Attached;
    }
    if (::mkdir(nativePath(mountPoint).constData(), 0700) != 0) {
        const int error = errno;
        if (error != EEXIST) {
            log(QStringLiteral("Cannot create the directory %1: %2")
                    .arg(mountPoint, errorText(error)));
            return AttachResult::Failed;
        }
        if (FileManager::entryKind(mountPoint) != FileManager::EntryKind::Directory) {
            log(QStringLiteral("%1 is not a folder; the drop volume is not mounted there and it "
                               "is left alone.")
                    .arg(mountPoint));
            return AttachResult::MountPointInUse;
        }
        if (!isEmptyDirectory(mountPoint)) {
            log(QStringLiteral("%1 holds files the client did not put there; the drop volume is "
                               "not mounted there and the folder is left alone.")
                    .arg(mountPoint));
            return AttachResult::MountPointInUse;
        }
    }
    claimedMountPoints_.insert(mountPoint);
    return AttachResult::Attached;
}

bool FuseDiskImageTool::createImage(const QString& imagePath, qint64 sizeBytes,
                                    const QString& volumeName) {
    std::lock_guard lock(mutex_);
    const QByteArray path = nativePath(imagePath);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        log(QStringLiteral("Disk image %1 not created: %2").arg(imagePath, errorText(errno)));
        return false;
    }
    const int sizeError = ::ftruncate(fd, sizeBytes) == 0 ? 0 : errno;
    ::close(fd);
    if (sizeError != 0) {
        log(QStringLiteral("Disk image %1 could not be sized to %2 bytes: %3")
                .arg(imagePath)
                .arg(sizeBytes)
                .arg(errorText(sizeError)));
    } else if (mode() == Mode::PlainDirectory || formatImage(imagePath, volumeName)) {
        return true;
    }
    ::unlink(path.constData());
    return false;
}

bool FuseDiskImageTool::formatImage(const QString& imagePath, const QString& volumeName) {
    const QString rootOwner = QStringLiteral("root_owner=%1:%2").arg(::getuid()).arg(::getgid());
    const std::optional<int> status = TiedChildProcess::run(
        mkfs_,
        {QStringLiteral("-q"), QStringLiteral("-F"), QStringLiteral("-b"), QStringLiteral("4096"),
         QStringLiteral("-m"), QStringLiteral("1"), QStringLiteral("-O"),
         QStringLiteral("^has_journal"), QStringLiteral("-L"), volumeName, QStringLiteral("-E"),
         rootOwner, imagePath},
        formatTimeout);
    if (status == 0) {
        return true;
    }
    log(QStringLiteral("Formatting the disk image %1 failed%2; the image was removed.")
            .arg(imagePath, status ? QStringLiteral(" (exit status %1)").arg(*status) : QString()));
    return false;
}

DiskImageTool::AttachResult FuseDiskImageTool::attachImage(const QString& imagePath,
                                                           const QString& mountPoint) {
    std::lock_guard lock(mutex_);
    if (mountChild_) {
        if (mountChildAt_ == mountPoint && mountChild_->isRunning() &&
            MountTable::hasFuseMountAt(mountPoint)) {
            return AttachResult::Attached;
        }
        detach(mountChildAt_);
    }
    if (mode() == Mode::FuseVolume) {
        // A volume left at the mount point would hide the new one, or, when
        // its process died, make the mount point unusable.
        unmountAll(mountPoint);
        if (MountTable::hasFuseMountAt(mountPoint)) {
            log(QStringLiteral("%1 is still mounted; not mounting over it.").arg(mountPoint));
            return AttachResult::Failed;
        }
        if (const AttachResult claimed = claimMountPoint(mountPoint);
            claimed != AttachResult::Attached) {
            return claimed;
        }
        const MountResult result = mountVolume(imagePath, mountPoint);
        if (result == MountResult::Mounted) {
            return AttachResult::Attached;
        }
        if (result == MountResult::ImageRejected) {
            return AttachResult::Failed;
        }
        usePlainDirectories(QStringLiteral("the mount at %1 was refused").arg(mountPoint));
    }
    return preparePlainDirectory(mountPoint);
}

FuseDiskImageTool::MountResult FuseDiskImageTool::mountVolume(const QString& imagePath,
                                                              const QString& mountPoint) {
    auto child = std::make_unique<TiedChildProcess>();
    // The kernel tells FUSE about a close only after close() has returned, so
    // a file deleted right after it was read would otherwise be kept as a
    // hidden ".fuse_hidden…" file; hard_remove deletes it at once.
    const QStringList arguments = {imagePath, mountPoint, QStringLiteral("-f"),
                                   QStringLiteral("-o"), QStringLiteral("hard_remove")};
    if (!child->start(fuse2fs_, arguments)) {
        return MountResult::MountRefused;
    }
    const MountResult result = waitForMount(*child, imagePath, mountPoint);
    if (result != MountResult::Mounted) {
        child->stop(stopGrace);
        unmountAll(mountPoint);
        return result;
    }
    mountChild_ = std::move(child);
    mountChildAt_ = mountPoint;
    prepareVolumeRoot(mountPoint);
    return MountResult::Mounted;
}

// fuse2fs exits with status 0 when the mount itself fails, so success is
// judged by the mount appearing, and failure by the child ending first
// (a non-zero status: it could not use the image) or by the time running out.
FuseDiskImageTool::MountResult FuseDiskImageTool::waitForMount(const TiedChildProcess& child,
                                                               const QString& imagePath,
                                                               const QString& mountPoint) {
    const auto deadline = std::chrono::steady_clock::now() + mountTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (MountTable::hasFuseMountAt(mountPoint) && servesFuse(mountPoint)) {
            return MountResult::Mounted;
        }
        if (child.waitForExit(mountPollInterval)) {
            const std::optional<int> status = child.exitCode();
            if (status && *status != 0) {
                log(QStringLiteral("fuse2fs could not use the disk image %1 (exit status %2).")
                        .arg(imagePath)
                        .arg(*status));
                return MountResult::ImageRejected;
            }
            log(QStringLiteral("fuse2fs could not mount %1 at %2.").arg(imagePath, mountPoint));
            return MountResult::MountRefused;
        }
    }
    log(QStringLiteral("fuse2fs did not mount %1 at %2 within %3 s.")
            .arg(imagePath, mountPoint)
            .arg(std::chrono::seconds(mountTimeout).count()));
    return MountResult::MountRefused;
}

void FuseDiskImageTool::forceDetach(const QString& mountPoint) {
    std::lock_guard lock(mutex_);
    detach(mountPoint);
}

void FuseDiskImageTool::detach(const QString& mountPoint) {
    unmountAll(mountPoint);
    if (mountChild_ && mountChildAt_ == mountPoint) {
        endMountChild();
        unmountAll(mountPoint);
    }
    if (mode() == Mode::PlainDirectory && claimedMountPoints_.contains(mountPoint) &&
        !FileManager::emptyDirectory(mountPoint)) {
        log(QStringLiteral("Could not empty %1.").arg(mountPoint));
    }
}

void FuseDiskImageTool::cleanStaleMount(const QString& mountPoint) {
    std::lock_guard lock(mutex_);
    if (mountChild_ && mountChildAt_ == mountPoint) {
        if (mountChild_->isRunning()) {
            return;
        }
        mountChild_.reset();
        mountChildAt_.clear();
    }
    if (MountTable::hasFuseMountAt(mountPoint)) {
        log(QStringLiteral("Unmounting the volume left at %1.").arg(mountPoint));
        unmountAll(mountPoint);
    }
}

void FuseDiskImageTool::unmountAll(const QString& mountPoint) {
    for (int i = 0; i < maxStackedMounts && MountTable::hasFuseMountAt(mountPoint); ++i) {
        if (!unmount(mountPoint)) {
            return;
        }
    }
}

// A busy volume (an open file, a working directory inside it) refuses a
// plain unmount; a lazy one detaches it at once and lets it go when the last
// user lets go.
bool FuseDiskImageTool::unmount(const QString& mountPoint) {
    if (fusermount_.isEmpty()) {
        log(QStringLiteral("Cannot unmount %1: fusermount3 is not installed.").arg(mountPoint));
        return false;
    }
    if (TiedChildProcess::run(fusermount_, {QStringLiteral("-u"), mountPoint}, unmountTimeout) ==
        0) {
        return true;
    }
    log(QStringLiteral("Unmounting %1 failed; detaching it lazily.").arg(mountPoint));
    if (TiedChildProcess::run(fusermount_, {QStringLiteral("-u"), QStringLiteral("-z"), mountPoint},
                              unmountTimeout) == 0) {
        return true;
    }
    log(QStringLiteral("Cannot unmount %1.").arg(mountPoint));
    return false;
}

// After an unmount fuse2fs ends by itself; one still serving a lazily
// detached volume, or one whose volume could not be unmounted, is stopped
// (on SIGTERM it unmounts its volume; after SIGKILL the caller unmounts the
// dead volume).
void FuseDiskImageTool::endMountChild() {
    if (!mountChild_->waitForExit(childExitAfterUnmount)) {
        log(QStringLiteral("fuse2fs still serves %1 after the unmount; stopping it.")
                .arg(mountChildAt_));
        mountChild_->stop(stopGrace);
    }
    mountChild_.reset();
    mountChildAt_.clear();
}

} // namespace dravelo

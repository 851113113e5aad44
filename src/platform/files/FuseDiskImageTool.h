#pragma once

#include "platform/files/DiskImageTool.h"
#include "platform/process/TiedChildProcess.h"

#include <QSet>

#include <atomic>
#include <memory>
#include <mutex>

namespace dravelo {

// The disk-image tool on Linux: an ext4 file system in a sparse file
// (mkfs.ext4), mounted without privileges by a fuse2fs child process and
// unmounted with fusermount3. Where FUSE cannot be used (no usable FUSE
// device, a program missing, mounts refused) it works in PlainDirectory mode.
//
// One instance serves the whole run: it owns the mount's child process,
// which ends when the instance is destroyed or the process dies. Safe to
// call from several threads; calls run one at a time, and every wait is
// bounded.
class FuseDiskImageTool : public DiskImageTool {
public:
    // `fuseDevice` is the device FUSE mounts go through; when it cannot be
    // opened, the tool starts in PlainDirectory mode.
    explicit FuseDiskImageTool(const QString& fuseDevice = QStringLiteral("/dev/fuse"));
    ~FuseDiskImageTool() override;

    bool createImage(const QString& imagePath, qint64 sizeBytes,
                     const QString& volumeName) override;
    AttachResult attachImage(const QString& imagePath, const QString& mountPoint) override;
    void forceDetach(const QString& mountPoint) override;
    void cleanStaleMount(const QString& mountPoint) override;
    Mode mode() const override;

private:
    enum class MountResult { Mounted, ImageRejected, MountRefused };

    QString unavailableReason(const QString& fuseDevice) const;
    void usePlainDirectories(const QString& reason);
    AttachResult preparePlainDirectory(const QString& mountPoint);
    AttachResult claimMountPoint(const QString& mountPoint);

    bool formatImage(const QString& imagePath, const QString& volumeName);
    MountResult mountVolume(const QString& imagePath, const QString& mountPoint);
    MountResult waitForMount(const TiedChildProcess& child, const QString& imagePath,
                             const QString& mountPoint);

    void detach(const QString& mountPoint);
    void unmountAll(const QString& mountPoint);
    bool unmount(const QString& mountPoint);
    void endMountChild();

    const QString mkfs_;
    const QString fuse2fs_;
    const QString fusermount_;
    std::atomic<Mode> mode_{Mode::FuseVolume};

    std::mutex mutex_; // held for each whole operation; guards the members below
    QString plainReason_;
    bool plainAnnounced_ = false;
    std::unique_ptr<TiedChildProcess> mountChild_;
    QString mountChildAt_;
    // Mount points this tool made, or found empty, in this run.
    QSet<QString> claimedMountPoints_;
};

} // namespace dravelo

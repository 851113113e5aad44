#pragma once

#include <QString>
#include <QtGlobal>

namespace dravelo {

// Creates, mounts and unmounts the disk image behind a drop volume.
// Failures are logged by the tool itself; callers only see the results.
class DiskImageTool {
public:
    // How a volume is presented at its mount point.
    enum class Mode {
        // The image is mounted as a file system of its own.
        FuseVolume,
        // Mounting is not possible here: the mount point is a plain directory
        // and the image file only stands for the volume's existence.
        PlainDirectory,
    };

    // How an attach went.
    enum class AttachResult {
        // The mount point is ready to take files.
        Attached,
        // The mount point is a link, not a folder, or a folder holding files
        // the tool did not put there: it is left alone and nothing is mounted.
        MountPointInUse,
        // The image could not be mounted.
        Failed,
    };

    virtual ~DiskImageTool() = default;

    // Creates a sparse image file of `sizeBytes` at `imagePath` (owner-only
    // access) holding an empty file system labelled `volumeName`. Refuses,
    // returning false, when a file exists at `imagePath` already; that file
    // is left as it is.
    virtual bool createImage(const QString& imagePath, qint64 sizeBytes,
                             const QString& volumeName) = 0;

    // Mounts the image at `mountPoint`, creating that directory (owner-only)
    // when needed; an existing empty folder is used too. Attached when the
    // mount point is ready to take files: the volume is mounted, or, in
    // PlainDirectory mode, the directory is there.
    virtual AttachResult attachImage(const QString& imagePath, const QString& mountPoint) = 0;

    // Unmounts whatever volume is at `mountPoint`, forcibly when it is busy,
    // and ends the process that served it. In PlainDirectory mode it empties
    // the directory instead, but only one it made or found empty, never
    // through a link. Leaves an empty directory at `mountPoint`.
    virtual void forceDetach(const QString& mountPoint) = 0;

    // Unmounts a volume left mounted at `mountPoint` by an earlier run,
    // whether its process still serves it or died with a crash.
    virtual void cleanStaleMount(const QString& mountPoint) = 0;

    virtual Mode mode() const = 0;
};

} // namespace dravelo

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

    virtual ~DiskImageTool() = default;

    // Creates a sparse image file of `sizeBytes` at `imagePath` (owner-only
    // access) holding an empty file system labelled `volumeName`. Refuses,
    // returning false, when a file exists at `imagePath` already; that file
    // is left as it is.
    virtual bool createImage(const QString& imagePath, qint64 sizeBytes,
                             const QString& volumeName) = 0;

    // Mounts the image at `mountPoint`, creating that directory (owner-only)
    // when needed. True when the mount point is ready to take files: the
    // volume is mounted, or, in PlainDirectory mode, the directory exists.
    virtual bool attachImage(const QString& imagePath, const QString& mountPoint) = 0;

    // Unmounts whatever volume is at `mountPoint`, forcibly when it is busy,
    // and ends the process that served it. In PlainDirectory mode it empties
    // the directory instead. Leaves an empty directory at `mountPoint`.
    virtual void forceDetach(const QString& mountPoint) = 0;

    // Unmounts a volume left mounted at `mountPoint` by an earlier run,
    // whether its process still serves it or died with a crash.
    virtual void cleanStaleMount(const QString& mountPoint) = 0;

    virtual Mode mode() const = 0;
};

} // namespace dravelo

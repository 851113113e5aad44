#pragma once

#include "platform/files/DiskImageTool.h"

#include <QString>
#include <QStringList>

#include <iosfwd>
#include <mutex>
#include <vector>

namespace dravelo {

// A disk-image tool for unit tests. It records every call with its arguments
// in order and acts on real files the way the real tool does, without
// mounting anything: a successful create writes an empty file at the image
// path (and, like the real tool, refuses when a file is there already); a
// successful attach makes the mount-point directory, so a test can drop
// files into it; a detach empties that directory. Safe to use from several
// threads. Like the real tool, a detach empties only a mount point that an
// attach made ready.
class FakeDiskImageTool : public DiskImageTool {
public:
    struct Call {
        QString operation;     // "createImage", "attachImage", "forceDetach", "cleanStaleMount"
        QStringList arguments; // as passed, sizes in decimal
        bool operator==(const Call& other) const = default;
    };

    bool createImage(const QString& imagePath, qint64 sizeBytes,
                     const QString& volumeName) override;
    AttachResult attachImage(const QString& imagePath, const QString& mountPoint) override;
    void forceDetach(const QString& mountPoint) override;
    void cleanStaleMount(const QString& mountPoint) override;
    Mode mode() const override;

    // Whether later creates succeed, and what later attaches give (they
    // succeed by default).
    void setCreateSucceeds(bool succeeds);
    void setAttachResult(AttachResult result);
    // The mode reported (FuseVolume by default); it changes nothing else.
    void setMode(Mode mode);

    std::vector<Call> calls() const;
    // The operation names of calls(), in order.
    QStringList operations() const;
    void clearCalls();

private:
    void record(const QString& operation, const QStringList& arguments);

    mutable std::mutex mutex_;
    std::vector<Call> calls_;
    bool createSucceeds_ = true;
    AttachResult attachResult_ = AttachResult::Attached;
    QStringList attached_;
    Mode mode_ = Mode::FuseVolume;
};

// Lets GoogleTest print recorded calls readably.
void PrintTo(const FakeDiskImageTool::Call& call, std::ostream* out);

} // namespace dravelo

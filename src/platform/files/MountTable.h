#pragma once

#include <QString>

namespace dravelo {

// The mount table of our mount namespace (/proc/self/mountinfo). Reading it
// never touches the mounted file systems, so it answers at once even for a
// FUSE mount whose process hangs or has died (where stat would block or
// fail with ENOTCONN).
class MountTable {
public:
    // Whether a FUSE file system is mounted at `mountPoint`. Symbolic links in
    // the parent of `mountPoint` are resolved; the last component is taken as
    // it stands, since looking it up could reach a dead mount.
    static bool hasFuseMountAt(const QString& mountPoint);

private:
    static QString resolvedPath(const QString& mountPoint);
    static QString decodeField(const QByteArray& field);
};

} // namespace dravelo

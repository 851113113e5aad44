#pragma once

#include <QString>

namespace dravelo {

// File operations with the semantics the client relies on.
class FileManager {
public:
    // Moves a file or folder to `target`. Fails when anything exists at
    // `target` (nothing is ever overwritten). Works across file systems for
    // regular files by copying, then deleting the source.
    static bool moveItem(const QString& source, const QString& target);

    // Deletes a file, a link (not what it points to) or a folder with its
    // contents.
    static bool removeItem(const QString& path);

private:
    static bool copyThenRemove(const QString& source, const QString& target);
};

} // namespace dravelo

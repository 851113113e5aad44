#pragma once

#include <QString>

namespace dravelo {

// File operations with the semantics the client relies on.
class FileManager {
public:
    // What a path names, the path's last component itself (a link is not
    // followed).
    enum class EntryKind { Missing, RegularFile, Directory, Other };

    static EntryKind entryKind(const QString& path);

    // Moves a file or folder to `target`. Fails when anything exists at
    // `target` (nothing is ever overwritten). Works across file systems for
    // regular files by copying, then deleting the source.
    static bool moveItem(const QString& source, const QString& target);

    // Renames a file to `target` on the same file system in one step,
    // replacing a file or link there (a link is replaced, not followed; a
    // folder is not replaced at all).
    static bool replaceItem(const QString& source, const QString& target);

    // Deletes a file, a link (not what it points to) or a folder with its
    // contents.
    static bool removeItem(const QString& path);

    // Deletes everything inside the directory, never following a link: a
    // link at `path` itself is refused, and links inside are removed, not
    // what they point to. False when `path` is no directory or something
    // could not be removed (the rest is still tried).
    static bool emptyDirectory(const QString& path);

private:
    static bool copyThenRemove(const QString& source, const QString& target);
};

} // namespace dravelo

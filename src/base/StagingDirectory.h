#pragma once

#include <QString>

namespace dravelo {

// The staging directory ~/.dravelo: one flat, private folder where job file
// pairs wait for dispatch and where the drop volume's image lives.
class StagingDirectory {
public:
    // The drop volume's image, the one entry that is not a job's file.
    static inline const QString driveImageName = QStringLiteral("drivemap.sparseimage");

    explicit StagingDirectory(const QString& homePath);

    QString path() const { return path_; }

    // The path of an entry in the directory.
    QString entryPath(const QString& name) const;

    // Creates the directory (with missing parents) readable by its owner
    // alone, and makes an existing one owner-only too. Failures show in
    // isDirectory().
    void create() const;

    bool isDirectory() const;

    // Deletes every entry, folders with their contents; failures are
    // ignored and the remaining entries still tried. Acts only on a real
    // directory and never reaches through a link.
    void empty() const;

    // Whether a job's file may take this name in the directory: a plain
    // name the file system takes, that is not the drive image's.
    static bool isJobFileName(const QString& name);

private:
    QString path_;
};

} // namespace dravelo

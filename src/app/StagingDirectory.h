#pragma once

#include <QString>

namespace dravelo {

// The staging directory ~/.dravelo: one flat, private folder where job file
// pairs wait for dispatch and where the drop volume's image lives.
class StagingDirectory {
public:
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
    // ignored and the remaining entries still tried.
    void empty() const;

private:
    QString path_;
};

} // namespace dravelo

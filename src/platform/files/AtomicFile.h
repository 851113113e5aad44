#pragma once

#include <QString>
#include <QTemporaryFile>

namespace dravelo {

// A file that appears under its name whole or not at all: it is written to a
// temporary file in its folder (readable by its owner alone), which then
// takes its name in one step, replacing what was there (a link is replaced,
// not followed). Unlike QSaveFile it does not wait for the disk: the files it
// writes are read at once and deleted soon after, so there is no point.
class AtomicFile {
public:
    // A file to be put in `folder`.
    explicit AtomicFile(const QString& folder);
    // Throws away what was written unless it was committed.
    ~AtomicFile() = default;

    bool open();
    bool write(const char* data, qsizetype size);
    // Puts the file in place at `path`, in the folder given; false, with
    // nothing in place, on failure.
    bool commit(const QString& path);

    QString errorString() const { return error_; }

private:
    QTemporaryFile file_;
    QString error_;
};

} // namespace dravelo

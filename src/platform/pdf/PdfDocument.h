#pragma once

#include <QString>

namespace dravelo {

// A PDF file opened for reading.
class PdfDocument {
public:
    explicit PdfDocument(const QString& path);

    // Whether the file is a PDF that needs a password before it can be shown
    // or printed. A file that is not a readable PDF is not locked.
    bool isLocked() const { return locked_; }

private:
    bool locked_ = false;
};

} // namespace dravelo

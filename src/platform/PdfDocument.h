#pragma once

#include <QString>

#include <memory>

class QPdfDocument;

namespace dravelo {

// A PDF file opened for reading.
class PdfDocument {
public:
    explicit PdfDocument(const QString& path);
    ~PdfDocument();

    // Whether the file opened as a PDF without a password.
    bool isOpen() const;

    // Whether the file is a PDF that needs a password before it can be shown
    // or printed. A file that is not a readable PDF is not locked.
    bool isLocked() const { return locked_; }

private:
    std::unique_ptr<QPdfDocument> document_;
    bool locked_ = false;
};

} // namespace dravelo

#pragma once

#include <QByteArray>
#include <QRectF>
#include <QString>

#include <memory>

class QPDF;

namespace dravelo {

// A PDF file opened for reading, with what printing, saving and copying a
// page need. Use it on one thread at a time.
class PdfDocument {
public:
    explicit PdfDocument(const QString& path);
    ~PdfDocument();
    PdfDocument(PdfDocument&&) noexcept;
    PdfDocument& operator=(PdfDocument&&) noexcept;

    QString path() const { return path_; }

    // A PDF that opens, with or without a password.
    bool isReadable() const { return readable_; }
    // Whether the file is a PDF that needs a password not given yet. A file
    // that is not a readable PDF is not locked.
    bool isLocked() const { return readable_ && !pdf_; }
    // Opens a locked document with its user or owner password; true when
    // the document is open afterwards (also when it was not locked).
    bool unlockWithPassword(const QString& password);
    // Whether a password opened the document; its printable copy must then
    // be written unencrypted.
    bool wasUnlockedWithPassword() const { return !password_.isEmpty(); }
    // The password that opened the document, empty when none was needed.
    QString password() const { return password_; }

    // 0 for a document that is locked or unreadable.
    int pageCount() const;
    // The page's media box in points; empty for a page that does not exist.
    QRectF mediaBox(int pageIndex) const;

    // The file exactly as it came (encryption kept), written atomically.
    bool writeToPath(const QString& target) const;
    // The open document without encryption, written atomically with owner-
    // only permissions (0600).
    bool writeUnencryptedCopy(const QString& target) const;
    // One page as a PDF of its own; empty when the page does not exist.
    QByteArray pageAsPdf(int pageIndex) const;

private:
    void open(const QString& password);

    QString path_;
    bool readable_ = false;
    QString password_;
    std::unique_ptr<QPDF> pdf_;
};

} // namespace dravelo

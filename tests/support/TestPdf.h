#pragma once

#include <QString>

namespace dravelo::test {

// Writes small real PDF files for tests.
class TestPdf {
public:
    // A PDF with `pages` pages, each showing its number.
    static void write(const QString& path, int pages = 1);

    // The same PDF, encrypted so that it opens only with `userPassword`
    // (or with no password when that is empty). Without `allowChanges` it
    // forbids every change without the owner password.
    static void writeEncrypted(const QString& path, const QString& userPassword,
                               const QString& ownerPassword, int pages = 1,
                               bool allowChanges = true);

    // A one-page A4 PDF whose page draws `content`, Flate-compressed.
    static void writeDrawing(const QString& path, const QByteArray& content);
};

} // namespace dravelo::test

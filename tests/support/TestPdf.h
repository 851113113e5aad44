#pragma once

#include <QString>

namespace dravelo::test {

// Writes small real PDF files for tests.
class TestPdf {
public:
    // A PDF with `pages` pages, each showing its number.
    static void write(const QString& path, int pages = 1);

    // The same PDF, encrypted so that it opens only with `userPassword`.
    static void writeEncrypted(const QString& path, const QString& userPassword,
                               const QString& ownerPassword);
};

} // namespace dravelo::test

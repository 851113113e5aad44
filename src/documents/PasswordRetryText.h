#pragma once

#include <QString>

namespace dravelo {

class PdfDocument;

// What a password prompt says after a password did not open a PDF: that it
// was wrong, or that it could not be checked, and why.
class PasswordRetryText {
public:
    static QString after(const PdfDocument& pdf);
};

} // namespace dravelo

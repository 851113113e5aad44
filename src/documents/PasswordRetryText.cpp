#include "documents/PasswordRetryText.h"

#include "platform/pdf/PdfDocument.h"

namespace dravelo {

QString PasswordRetryText::after(const PdfDocument& pdf) {
    if (pdf.failure().isEmpty()) {
        return QStringLiteral("Incorrect password, please try again.");
    }
    return QStringLiteral("The password could not be checked: %1. Please try again.")
        .arg(pdf.failure());
}

} // namespace dravelo

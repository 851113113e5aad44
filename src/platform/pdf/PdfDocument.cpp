#include "platform/pdf/PdfDocument.h"

#include <QPdfDocument>

namespace dravelo {

PdfDocument::PdfDocument(const QString& path) {
    QPdfDocument document;
    locked_ = document.load(path) == QPdfDocument::Error::IncorrectPassword;
}

} // namespace dravelo

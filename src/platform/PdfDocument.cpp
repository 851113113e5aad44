#include "platform/PdfDocument.h"

#include <QPdfDocument>

namespace dravelo {

PdfDocument::PdfDocument(const QString& path)
    : document_(std::make_unique<QPdfDocument>()) {
    locked_ = document_->load(path) == QPdfDocument::Error::IncorrectPassword;
}

PdfDocument::~PdfDocument() = default;

bool PdfDocument::isOpen() const {
    return document_->status() == QPdfDocument::Status::Ready;
}

} // namespace dravelo

#include "platform/pdf/PdfImage.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QPdfDocument>

namespace dravelo {
namespace {

// What QImageWriter's TIFF plugin takes as its LZW compression.
constexpr int tiffLzwCompression = 1;

} // namespace

PdfImage::PdfImage(const QByteArray& pdfData) {
    QByteArray data = pdfData;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QPdfDocument document;
    document.load(&buffer);
    if (document.status() != QPdfDocument::Status::Ready || document.pageCount() < 1) {
        return;
    }
    const QSize size = (document.pagePointSize(0) * dotsPerInch / 72.0).toSize();
    if (size.isEmpty()) {
        return;
    }
    // Pages render onto transparency; paper is white.
    const QImage page = document.render(0, size);
    image_ = QImage(size, QImage::Format_RGB32);
    image_.fill(Qt::white);
    image_.setDotsPerMeterX(qRound(dotsPerInch / 0.0254));
    image_.setDotsPerMeterY(qRound(dotsPerInch / 0.0254));
    QPainter painter(&image_);
    painter.drawImage(0, 0, page);
}

QByteArray PdfImage::tiffRepresentation() const {
    if (image_.isNull()) {
        return {};
    }
    QByteArray tiff;
    QBuffer buffer(&tiff);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "tiff");
    writer.setCompression(tiffLzwCompression);
    if (!writer.write(image_)) {
        return {};
    }
    return tiff;
}

} // namespace dravelo

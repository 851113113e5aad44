#pragma once

#include <QByteArray>
#include <QImage>

namespace dravelo {

// The first page of a PDF given as data, drawn as an image on white.
class PdfImage {
public:
    // The resolution the page is drawn at.
    static constexpr int dotsPerInch = 144;

    explicit PdfImage(const QByteArray& pdfData);

    bool isNull() const { return image_.isNull(); }
    QImage image() const { return image_; }

    // The image as a TIFF file compressed with LZW; empty for a null image.
    QByteArray tiffRepresentation() const;

private:
    QImage image_;
};

} // namespace dravelo

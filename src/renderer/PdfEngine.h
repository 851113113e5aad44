#pragma once

#include "platform/pdf/RendererProtocol.h"

#include <QString>

#include <memory>

class QPDF;
class QPdfDocument;

namespace dravelo {

// Answers the client's requests about a PDF file: its structure through
// qpdf, its pages through QtPdf's PDF engine. The file stays open from one
// request to the next while they name the same file and password; the PDF
// engine loads it only once a page is drawn, so that an inspection never
// depends on it.
class PdfEngine {
public:
    PdfEngine();
    ~PdfEngine();

    PdfEngine(const PdfEngine&) = delete;
    PdfEngine& operator=(const PdfEngine&) = delete;

    // The answer to one request; failures are answered as Failed replies.
    RendererReply handle(const RendererRequest& request);

    // The resolution a copied page's image is drawn at.
    static constexpr int copyDotsPerInch = 144;

private:
    void open(const QString& path, const QString& password);
    // The file loaded for drawing; null when it does not load (see
    // displayProblem_).
    QPdfDocument* display();

    RendererReply answer(const RendererRequest& request);
    RendererReply inspect() const;
    RendererReply render(const RendererRequest& request);
    RendererReply select(const RendererRequest& request);
    RendererReply copyPage(int page);
    RendererReply writeUnencrypted(const QString& target) const;
    // The page drawn for the image of a copy, on white; null on failure.
    QImage copyImage(int page);

    QString path_;
    QString password_;
    bool opened_ = false;
    PdfFacts::Access access_ = PdfFacts::Access::Unreadable;
    QString problem_;
    std::unique_ptr<QPDF> pdf_;
    std::unique_ptr<QPdfDocument> display_;
    QString displayProblem_;
};

} // namespace dravelo

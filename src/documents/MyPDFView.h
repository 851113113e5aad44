#pragma once

#include "platform/pdf/PdfView.h"

#include <QSizeF>

namespace dravelo {

struct DocumentContext;

// The client's PDF view. Every print with the print panel runs through
// printDocument; Copy without a text selection copies the whole current page.
class MyPDFView : public PdfView {
    Q_OBJECT

public:
    explicit MyPDFView(QWidget* parent = nullptr);

    // What the view prints and copies with; set before either is used.
    void setContext(const DocumentContext* context);

    // Prints the view's document through the print panel with the shared
    // print settings, turning pages to the paper and scaling them to fit.
    // Under printingAction "Hide Document" the view's window is hidden
    // first. A failed print is logged as "Error: " and the reason. Neither
    // argument is used: callers pass themselves and the first page's size.
    void printDocument(QObject* sender, const QSizeF& pdfPageSize);

    // With text selected: the text. Otherwise the current page, as a PDF of
    // its own and as a TIFF image, in that order, once the renderer has
    // made them (a page it cannot make is logged, and the clipboard keeps
    // what it had).
    void copy() override;

private:
    void printWithSharedSettings();

    const DocumentContext* context_ = nullptr;
};

} // namespace dravelo

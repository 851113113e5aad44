#pragma once

#include <QPdfDocument>
#include <QPdfSelection>
#include <QPdfView>
#include <QSizeF>

#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QWidget;

namespace dravelo {

class Pasteboard;
class PdfDocument;

// Shows a PDF document: pages one at a time or stacked in one scrolling
// column, scaled to the view's width or at a chosen zoom. The user selects
// text with the mouse; Copy puts the selected text on the clipboard.
//
// A document that needs a password shows a password field in the view that
// unlocks it; a file that is not a readable PDF shows a line that says so.
class PdfView : public QPdfView {
    Q_OBJECT

public:
    enum class DisplayMode {
        SinglePage = 0,
        SinglePageContinuous = 1,
    };

    explicit PdfView(QWidget* parent = nullptr);
    ~PdfView() override;

    // The document shown; null shows a view that says there is no readable
    // PDF. The view shares the document with whoever gave it.
    void setDocument(std::shared_ptr<PdfDocument> document);
    std::shared_ptr<PdfDocument> document() const { return document_; }

    DisplayMode displayMode() const;
    void setDisplayMode(DisplayMode mode);

    // Scales the pages to the view: to its width in the continuous mode (a
    // single page to fit whole), to the whole page in the single-page mode.
    bool autoScales() const { return autoScales_; }
    void setAutoScales(bool autoScales);
    // Gaps between pages and around them.
    void setDisplaysPageBreaks(bool displays);

    // The page at the top of the view; -1 without a shown document.
    int currentPage() const;
    void goToPage(int page);
    // The size of one row of pages as laid out now, in pixels: the page at
    // the current zoom, and the gap under it.
    QSizeF rowSizeForPage(int page) const;

    void zoomIn();
    void zoomOut();
    void zoomToActualSize();

    // The clipboard Copy writes to; without one Copy does nothing.
    void setPasteboard(Pasteboard* pasteboard) { pasteboard_ = pasteboard; }
    Pasteboard* pasteboard() const { return pasteboard_; }

    bool hasSelection() const;
    QString selectedText() const;
    void clearSelection();

    // Copies the selected text.
    virtual void copy();

Q_SIGNALS:
    // The page shown at the top changed, or the number of pages did.
    void pageChanged(int page, int pageCount);
    // The user unlocked the document with this password in the view's field.
    void unlocked(const QString& password);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct PagePoint {
        int page;
        QPointF point; // in points, origin top left
    };

    void loadShownDocument();
    void showNotice();
    void tryPassword();
    void applyAutoScale();
    void setZoom(qreal zoom);
    qreal pixelsPerPoint() const;
    QSize pageSizeInPixels(int page) const;
    // Where a page is drawn, in viewport coordinates; empty when not drawn.
    QRect pageRect(int page) const;
    std::optional<PagePoint> pagePointAt(const QPoint& viewportPosition) const;
    void emitPageChanged();

    std::shared_ptr<PdfDocument> document_;
    bool documentGiven_ = false;
    QPdfDocument pdf_;
    bool autoScales_ = false;
    Pasteboard* pasteboard_ = nullptr;

    std::optional<PagePoint> selectionStart_;
    std::optional<QPdfSelection> selection_;
    int selectionPage_ = -1;

    QWidget* notice_ = nullptr;
    QLabel* noticeText_ = nullptr;
    QLineEdit* passwordField_ = nullptr;
};

} // namespace dravelo

#pragma once

#include <QAbstractScrollArea>
#include <QHash>
#include <QImage>
#include <QList>
#include <QMargins>
#include <QPolygonF>
#include <QSet>
#include <QSizeF>

#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;

namespace dravelo {

class Pasteboard;
class PdfDocument;

// Shows a PDF document: pages one at a time or stacked in one scrolling
// column, scaled to the view's width or at a chosen zoom. The layout comes
// from the page sizes the document's renderer reported; the pages' images
// come from that renderer, the visible part of one page at a time, and the
// view never waits for them: a page not drawn yet is plain paper, and a
// page the renderer could not draw says so. The user selects text with the
// mouse; Copy puts the selected text on the clipboard.
//
// A document that needs a password shows a password field in the view that
// unlocks it; a file that is not a readable PDF, or that the renderer could
// not open, shows a line that says so.
class PdfView : public QAbstractScrollArea {
    Q_OBJECT

public:
    enum class DisplayMode {
        SinglePage = 0,
        SinglePageContinuous = 1,
    };

    // What the view has of a page.
    enum class PageState { Waiting, Shown, Failed };

    // How the view scales its pages to its own size, as that changes.
    enum class AutoScale {
        Off,
        // To the view's width in the continuous mode (a single page to fit
        // whole), to the whole page in the single-page mode.
        Width,
        // Every page to fit whole, in either mode.
        Page,
    };

    explicit PdfView(QWidget* parent = nullptr);
    ~PdfView() override;

    // The document shown; null shows a view that says there is no readable
    // PDF. The view shares the document with whoever gave it.
    void setDocument(std::shared_ptr<PdfDocument> document);
    std::shared_ptr<PdfDocument> document() const { return document_; }

    DisplayMode displayMode() const { return mode_; }
    void setDisplayMode(DisplayMode mode);

    AutoScale autoScale() const { return autoScale_; }
    void setAutoScale(AutoScale autoScale);
    // AutoScale::Width, or Off.
    void setAutoScales(bool autoScales);
    // Gaps between pages and around them.
    void setDisplaysPageBreaks(bool displays);

    // 1 is the actual size; setting it turns the scaling to the view off.
    qreal zoomFactor() const { return zoom_; }
    void setZoomFactor(qreal zoom);
    // The page at the top of the view; -1 without a shown document.
    int currentPage() const;
    void goToPage(int page);
    // The size of one row of pages as laid out now, in pixels: the page at
    // the current zoom, and the gap under it.
    QSizeF rowSizeForPage(int page) const;
    PageState pageState(int page) const;

    void zoomIn();
    void zoomOut();
    void zoomToActualSize();

    // The clipboard Copy writes to; without one Copy does nothing.
    void setPasteboard(Pasteboard* pasteboard) { pasteboard_ = pasteboard; }

    bool hasSelection() const { return !selectionText_.isEmpty(); }
    void clearSelection();

    // Copies the selected text.
    virtual void copy();

Q_SIGNALS:
    // The page shown at the top changed, or the number of pages did.
    void pageChanged(int page, int pageCount);
    // The user unlocked the document with this password in the view's field.
    void unlocked(const QString& password);
    // A page's image arrived, or the renderer could not draw it.
    void pageFinished(int page);
    // The text selected changed (an answer from the renderer came in).
    void selectionChanged();
    // The zoom factor changed, or the way the view scales its pages.
    void zoomChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    struct PagePoint {
        int page;
        QPointF point; // in points, origin top left
    };
    // An image of a page, or of a region of it, at a scale.
    struct Tile {
        qreal scale = 0;
        QRect region; // in the page's pixels at that scale
        QImage image;
    };

    bool isShowingPages() const;
    int laidOutPageCount() const;
    void showNotice();
    void tryPassword();
    void applyAutoScale();
    qreal pixelsPerPoint() const;
    // Pixels per point at the current zoom.
    qreal scale() const { return pixelsPerPoint() * zoom_; }
    QSize pageSizeInPixels(int page) const;
    // Recomputes where pages lie, keeping the current page in view.
    void layOutPages();
    void updateScrollBars();
    // Where a page is drawn, in viewport coordinates; empty when not laid out.
    QRect pageRect(int page) const;
    // The laid-out pages that the viewport shows, first to last; empty when
    // none is.
    std::pair<int, int> visiblePages() const;
    std::optional<PagePoint> pagePointAt(const QPoint& viewportPosition) const;
    void updateCurrentPage();
    void emitPageChanged();

    void requestPages();
    // The region of a page to ask for, in its pixels; empty when the page
    // needs nothing.
    QRect wantedRegion(int page) const;
    void takeImage(int page, qreal scale, const QRect& region, const QImage& image,
                   const QString& failure);
    void dropFarTiles();
    void paintPage(QPainter& painter, int page, const QRect& rect);

    void selectTo(const QPointF& end);
    void takeSelection(const QString& text, const QList<QPolygonF>& bounds);

    std::shared_ptr<PdfDocument> document_;
    bool documentGiven_ = false;
    // Bumped with every document given, so answers about an earlier one
    // are dropped.
    int generation_ = 0;
    DisplayMode mode_ = DisplayMode::SinglePageContinuous;
    AutoScale autoScale_ = AutoScale::Off;
    qreal zoom_ = 1.0;
    int pageSpacing_ = 0;
    QMargins margins_;
    Pasteboard* pasteboard_ = nullptr;

    // The laid-out pages' tops (document coordinates) and sizes in pixels:
    // every page in the continuous mode, the current one alone otherwise.
    int firstLaidOut_ = 0;
    std::vector<int> tops_;
    std::vector<QSize> sizes_;
    QSize documentSize_;
    int currentPage_ = 0;

    QHash<int, Tile> tiles_;
    QSet<int> failed_;
    bool rendering_ = false;
    int failuresInARow_ = 0;
    bool givenUp_ = false;

    std::optional<PagePoint> selectionStart_;
    int selectionSerial_ = 0;
    bool selecting_ = false;
    std::optional<QPointF> pendingEnd_;
    QString selectionText_;
    QList<QPolygonF> selectionBounds_;
    int selectionPage_ = -1;

    QWidget* notice_ = nullptr;
    QLabel* noticeText_ = nullptr;
    QLineEdit* passwordField_ = nullptr;
    QPushButton* unlockButton_ = nullptr;
};

} // namespace dravelo

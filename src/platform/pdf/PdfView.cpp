#include "platform/pdf/PdfView.h"

#include "platform/core/Log.h"
#include "platform/desktop/Pasteboard.h"
#include "platform/pdf/PdfDocument.h"
#include "platform/pdf/RendererProtocol.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace dravelo {
namespace {

constexpr int pageBreakSpacing = 3;
constexpr QMargins pageBreakMargins(6, 6, 6, 6);
constexpr qreal zoomStep = 1.25;
constexpr qreal smallestZoom = 0.1;
constexpr qreal largestZoom = 16.0;
constexpr int scrollStep = 20;
// Pages up to this size are drawn whole, so that scrolling over them needs
// no more drawing; larger ones a region about the visible part.
constexpr qint64 wholePagePixels = qint64(4) << 20;
// No coordinate of the laid-out document goes past this, however many and
// however large its pages.
constexpr qint64 largestCoordinate = qint64(1) << 30;
// Drawing stops for a document whose pages failed this often in a row: its
// renderer would only be ended again and again.
constexpr int failuresBeforeGivingUp = 2;

int bounded(qint64 coordinate) {
    return int(std::min(coordinate, largestCoordinate));
}

} // namespace

PdfView::PdfView(QWidget* parent)
    : QAbstractScrollArea(parent) {
    horizontalScrollBar()->setSingleStep(scrollStep);
    verticalScrollBar()->setSingleStep(scrollStep);

    notice_ = new QWidget(this);
    auto* column = new QVBoxLayout(notice_);
    noticeText_ = new QLabel(notice_);
    noticeText_->setAlignment(Qt::AlignCenter);
    noticeText_->setWordWrap(true);
    passwordField_ = new QLineEdit(notice_);
    passwordField_->setEchoMode(QLineEdit::Password);
    passwordField_->setPlaceholderText(tr("Password"));
    passwordField_->setAccessibleName(tr("Password"));
    unlockButton_ = new QPushButton(tr("Unlock"), notice_);
    column->addStretch();
    column->addWidget(noticeText_);
    column->addWidget(passwordField_, 0, Qt::AlignHCenter);
    column->addWidget(unlockButton_, 0, Qt::AlignHCenter);
    column->addStretch();
    passwordField_->setMinimumWidth(200);
    connect(passwordField_, &QLineEdit::returnPressed, this, &PdfView::tryPassword);
    connect(unlockButton_, &QPushButton::clicked, this, &PdfView::tryPassword);
    notice_->hide();
}

PdfView::~PdfView() = default;

void PdfView::setDocument(std::shared_ptr<PdfDocument> document) {
    document_ = std::move(document);
    documentGiven_ = true;
    ++generation_;
    tiles_.clear();
    failed_.clear();
    rendering_ = false;
    failuresInARow_ = 0;
    givenUp_ = false;
    currentPage_ = 0;
    tops_.clear();
    sizes_.clear();
    clearSelection();
    layOutPages();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    showNotice();
    applyAutoScale();
    emitPageChanged();
}

bool PdfView::isShowingPages() const {
    return document_ && document_->state() == PdfDocument::State::Open &&
           document_->pageCount() > 0;
}

int PdfView::laidOutPageCount() const {
    return int(tops_.size());
}

void PdfView::showNotice() {
    if (!documentGiven_ || (document_ && document_->state() == PdfDocument::State::Open)) {
        notice_->hide();
        return;
    }
    const bool locked = document_ && document_->isLocked();
    if (locked) {
        noticeText_->setText(
            tr("This document is password protected.\nEnter its password to show it."));
    } else if (document_ && document_->state() == PdfDocument::State::Unknown) {
        noticeText_->setText(tr("This document could not be shown: %1.").arg(document_->failure()));
    } else {
        noticeText_->setText(tr("This file is not a readable PDF document."));
    }
    passwordField_->setVisible(locked);
    unlockButton_->setVisible(locked);
    notice_->setGeometry(viewport()->geometry());
    notice_->show();
    if (locked) {
        passwordField_->setFocus();
    }
}

void PdfView::tryPassword() {
    if (!document_ || !document_->isLocked() || !passwordField_->isEnabled()) {
        return;
    }
    const QString password = passwordField_->text();
    passwordField_->setEnabled(false);
    unlockButton_->setEnabled(false);
    const QPointer<PdfView> self(this);
    const std::weak_ptr<PdfDocument> asked = document_;
    document_->unlock(password, [self, asked, password](bool opened) {
        if (!self || asked.lock() != self->document_) {
            return;
        }
        self->passwordField_->setEnabled(true);
        self->unlockButton_->setEnabled(true);
        if (!opened) {
            const QString failure = self->document_->failure();
            self->noticeText_->setText(
                failure.isEmpty() ? tr("Incorrect password, please try again.")
                                  : tr("The password could not be checked: %1.").arg(failure));
            self->passwordField_->selectAll();
            self->passwordField_->setFocus();
            return;
        }
        self->passwordField_->clear();
        self->layOutPages();
        self->showNotice();
        self->applyAutoScale();
        self->emitPageChanged();
        self->setFocus();
        Q_EMIT self->unlocked(password);
    });
}

void PdfView::setDisplayMode(DisplayMode mode) {
    mode_ = mode;
    clearSelection();
    layOutPages();
    if (mode_ == DisplayMode::SinglePage) {
        verticalScrollBar()->setValue(0);
    }
    applyAutoScale();
}

void PdfView::setAutoScale(AutoScale autoScale) {
    autoScale_ = autoScale;
    applyAutoScale();
    Q_EMIT zoomChanged();
}

void PdfView::setAutoScales(bool autoScales) {
    setAutoScale(autoScales ? AutoScale::Width : AutoScale::Off);
}

void PdfView::setDisplaysPageBreaks(bool displays) {
    pageSpacing_ = displays ? pageBreakSpacing : 0;
    margins_ = displays ? pageBreakMargins : QMargins();
    layOutPages();
}

int PdfView::currentPage() const {
    if (!isShowingPages()) {
        return -1;
    }
    return std::clamp(currentPage_, 0, document_->pageCount() - 1);
}

void PdfView::goToPage(int page) {
    if (!isShowingPages() || page < 0 || page >= document_->pageCount()) {
        return;
    }
    if (mode_ == DisplayMode::SinglePage) {
        currentPage_ = page;
        clearSelection();
        layOutPages();
        verticalScrollBar()->setValue(0);
        applyAutoScale();
    } else {
        verticalScrollBar()->setValue(tops_[size_t(page)]);
        currentPage_ = page;
    }
    emitPageChanged();
}

QSizeF PdfView::rowSizeForPage(int page) const {
    const QSize size = pageSizeInPixels(page);
    if (size.isEmpty()) {
        return {};
    }
    return QSizeF(size.width(), size.height() + pageSpacing_);
}

PdfView::PageState PdfView::pageState(int page) const {
    if (tiles_.contains(page)) {
        return PageState::Shown;
    }
    return givenUp_ || failed_.contains(page) ? PageState::Failed : PageState::Waiting;
}

void PdfView::zoomIn() {
    setZoomFactor(zoom_ * zoomStep);
}

void PdfView::zoomOut() {
    setZoomFactor(zoom_ / zoomStep);
}

void PdfView::zoomToActualSize() {
    setZoomFactor(1.0);
}

void PdfView::setZoomFactor(qreal zoom) {
    autoScale_ = AutoScale::Off;
    clearSelection();
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    zoom_ = std::clamp(zoom, smallestZoom, largestZoom);
    layOutPages();
    Q_EMIT zoomChanged();
}

void PdfView::applyAutoScale() {
    // A view not shown yet has no size of its own: it scales when shown.
    if (autoScale_ == AutoScale::Off || !isVisible() || !isShowingPages()) {
        return;
    }
    // Sized from the frame, not from the viewport, so that a scroll bar
    // that comes or goes with the new zoom does not change it again.
    const int pageCount = document_->pageCount();
    const bool column = mode_ == DisplayMode::SinglePageContinuous && pageCount > 1;
    // A pixel spare each way: page sizes are rounded, and a page one pixel
    // too large would bring in the scroll bars.
    int width = contentsRect().width() - margins_.left() - margins_.right() - 2;
    int height = contentsRect().height() - margins_.top() - margins_.bottom() - pageSpacing_ - 2;
    if (column) {
        width -= verticalScrollBar()->sizeHint().width();
    }
    qreal widest = 0;
    qreal tallest = 0;
    const int first = column ? 0 : currentPage();
    const int last = column ? pageCount - 1 : currentPage();
    for (int page = first; page <= last; ++page) {
        const QSizeF size = document_->pageSize(page) * pixelsPerPoint();
        widest = std::max(widest, size.width());
        tallest = std::max(tallest, size.height());
    }
    if (widest <= 0 || tallest <= 0 || width <= 0 || height <= 0) {
        return;
    }
    // Scaled to the view, the pages need no scroll bar but the column's:
    // bars left to come and go would take room the scaling counted on.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(column ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    qreal zoom = width / widest;
    if (!column || autoScale_ == AutoScale::Page) {
        zoom = std::min(zoom, height / tallest);
    }
    zoom_ = std::clamp(zoom, smallestZoom, largestZoom);
    layOutPages();
    Q_EMIT zoomChanged();
}

qreal PdfView::pixelsPerPoint() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return (screen ? screen->logicalDotsPerInchY() : 72.0) / 72.0;
}

QSize PdfView::pageSizeInPixels(int page) const {
    if (!isShowingPages() || page < 0 || page >= document_->pageCount()) {
        return {};
    }
    return (document_->pageSize(page) * scale()).toSize();
}

void PdfView::layOutPages() {
    // Where the view was within its current page, to keep it there.
    const int kept = currentPage();
    const int keptIndex = kept - firstLaidOut_;
    std::optional<qreal> within;
    if (mode_ == DisplayMode::SinglePageContinuous && keptIndex >= 0 &&
        keptIndex < laidOutPageCount()) {
        const QSize size = sizes_[size_t(keptIndex)];
        within = qreal(verticalScrollBar()->value() - tops_[size_t(keptIndex)]) /
                 std::max(1, size.height());
    }
    tops_.clear();
    sizes_.clear();
    documentSize_ = {};
    if (isShowingPages()) {
        const bool single = mode_ == DisplayMode::SinglePage;
        firstLaidOut_ = single ? currentPage() : 0;
        const int count = single ? 1 : document_->pageCount();
        tops_.reserve(size_t(count));
        sizes_.reserve(size_t(count));
        qint64 widest = 0;
        qint64 y = margins_.top();
        for (int index = 0; index < count; ++index) {
            const QSize size = pageSizeInPixels(firstLaidOut_ + index);
            tops_.push_back(bounded(y));
            sizes_.push_back(size);
            widest = std::max<qint64>(widest, size.width());
            y += size.height() + pageSpacing_;
        }
        documentSize_ = QSize(bounded(widest + margins_.left() + margins_.right()),
                              bounded(y + margins_.bottom()));
    }
    updateScrollBars();
    if (within && mode_ == DisplayMode::SinglePageContinuous && kept < laidOutPageCount()) {
        verticalScrollBar()->setValue(tops_[size_t(kept)] +
                                      qRound(*within * sizes_[size_t(kept)].height()));
    }
    viewport()->update();
    requestPages();
}

void PdfView::updateScrollBars() {
    const QSize shown = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, documentSize_.width() - shown.width()));
    horizontalScrollBar()->setPageStep(shown.width());
    verticalScrollBar()->setRange(0, std::max(0, documentSize_.height() - shown.height()));
    verticalScrollBar()->setPageStep(shown.height());
}

QRect PdfView::pageRect(int page) const {
    const int index = page - firstLaidOut_;
    if (!isShowingPages() || index < 0 || index >= laidOutPageCount()) {
        return {};
    }
    // Pages are centred in a column inside the margins, or in the viewport
    // when that is wider.
    const QSize size = sizes_[size_t(index)];
    const int left = (std::max(documentSize_.width(), viewport()->width()) - size.width()) / 2;
    return QRect(QPoint(left - horizontalScrollBar()->value(),
                        tops_[size_t(index)] - verticalScrollBar()->value()),
                 size);
}

std::pair<int, int> PdfView::visiblePages() const {
    if (tops_.empty()) {
        return {0, -1};
    }
    const int top = verticalScrollBar()->value();
    const int bottom = top + viewport()->height();
    // The last page that starts above the viewport's top may reach into it.
    auto first = std::upper_bound(tops_.begin(), tops_.end(), top);
    if (first != tops_.begin()) {
        --first;
    }
    auto index = size_t(first - tops_.begin());
    if (tops_[index] + sizes_[index].height() <= top && index + 1 < tops_.size()) {
        ++index;
    }
    const auto last = std::lower_bound(tops_.begin(), tops_.end(), bottom);
    const int lastIndex = int(last - tops_.begin()) - 1;
    return {firstLaidOut_ + int(index), firstLaidOut_ + std::max(int(index) - 1, lastIndex)};
}

std::optional<PdfView::PagePoint> PdfView::pagePointAt(const QPoint& viewportPosition) const {
    const auto [first, last] = visiblePages();
    for (int page = first; page <= last; ++page) {
        const QRect rect = pageRect(page);
        if (rect.contains(viewportPosition)) {
            return PagePoint{page, QPointF(viewportPosition - rect.topLeft()) / scale()};
        }
    }
    return std::nullopt;
}

void PdfView::updateCurrentPage() {
    if (mode_ != DisplayMode::SinglePageContinuous || tops_.empty()) {
        return;
    }
    const int first = visiblePages().first;
    if (first != currentPage_) {
        currentPage_ = first;
        emitPageChanged();
    }
}

void PdfView::requestPages() {
    if (rendering_ || givenUp_ || !isShowingPages() || !isVisible()) {
        return;
    }
    const auto [first, last] = visiblePages();
    for (int page = first; page <= last; ++page) {
        const QRect region = failed_.contains(page) ? QRect() : wantedRegion(page);
        if (region.isEmpty()) {
            continue;
        }
        rendering_ = true;
        const QPointer<PdfView> self(this);
        const int generation = generation_;
        const qreal at = scale();
        document_->render(
            page, pageSizeInPixels(page), region,
            [self, generation, page, at, region](const QImage& image, const QString& failure) {
                if (self && self->generation_ == generation) {
                    self->takeImage(page, at, region, image, failure);
                }
            });
        return;
    }
}

QRect PdfView::wantedRegion(int page) const {
    const QRect rect = pageRect(page);
    const QRect visible = rect.intersected(viewport()->rect());
    if (visible.isEmpty()) {
        return {};
    }
    const QRect needed = visible.translated(-rect.topLeft());
    const auto tile = tiles_.constFind(page);
    if (tile != tiles_.constEnd() && tile->scale == scale() && tile->region.contains(needed)) {
        return {};
    }
    const QRect whole(QPoint(0, 0), rect.size());
    if (qint64(whole.width()) * whole.height() <= wholePagePixels) {
        return whole;
    }
    const QSize shown = viewport()->size();
    const QRect around = needed
                             .adjusted(-shown.width() / 2, -shown.height() / 2, shown.width() / 2,
                                       shown.height() / 2)
                             .intersected(whole);
    const auto pixels = [](const QRect& region) {
        return qint64(region.width()) * region.height();
    };
    if (pixels(around) <= RendererProtocol::maxImagePixels) {
        return around;
    }
    QRect part = needed;
    part.setHeight(
        int(std::min<qint64>(part.height(), RendererProtocol::maxImagePixels / part.width())));
    return part;
}

void PdfView::takeImage(int page, qreal scale, const QRect& region, const QImage& image,
                        const QString& failure) {
    rendering_ = false;
    if (image.isNull()) {
        failed_.insert(page);
        log(QStringLiteral("Page %1 of %2 could not be shown: %3.")
                .arg(page + 1)
                .arg(document_->path(), failure));
        if (++failuresInARow_ >= failuresBeforeGivingUp) {
            givenUp_ = true;
            log(QStringLiteral("No more pages of %1 are drawn: %2 in a row could not be.")
                    .arg(document_->path())
                    .arg(failuresInARow_));
        }
    } else {
        failuresInARow_ = 0;
        tiles_.insert(page, Tile{scale, region, image});
        dropFarTiles();
    }
    viewport()->update();
    Q_EMIT pageFinished(page);
    requestPages();
}

void PdfView::dropFarTiles() {
    const auto [first, last] = visiblePages();
    for (auto tile = tiles_.begin(); tile != tiles_.end();) {
        if (tile.key() < first - 1 || tile.key() > last + 1) {
            tile = tiles_.erase(tile);
        } else {
            ++tile;
        }
    }
}

void PdfView::clearSelection() {
    selectionStart_.reset();
    ++selectionSerial_;
    pendingEnd_.reset();
    selectionText_.clear();
    selectionBounds_.clear();
    selectionPage_ = -1;
    viewport()->update();
}

void PdfView::copy() {
    if (pasteboard_ && hasSelection()) {
        pasteboard_->setPlainText(selectionText_);
    }
}

void PdfView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().brush(QPalette::Dark));
    const auto [first, last] = visiblePages();
    for (int page = first; page <= last; ++page) {
        paintPage(painter, page, pageRect(page));
    }
    const QRect page = pageRect(selectionPage_);
    if (!hasSelection() || page.isEmpty()) {
        return;
    }
    painter.translate(page.topLeft());
    painter.scale(scale(), scale());
    QColor highlight = palette().color(QPalette::Highlight);
    highlight.setAlpha(96);
    painter.setPen(Qt::NoPen);
    painter.setBrush(highlight);
    for (const QPolygonF& bounds : selectionBounds_) {
        painter.drawPolygon(bounds);
    }
}

void PdfView::paintPage(QPainter& painter, int page, const QRect& rect) {
    painter.fillRect(rect, Qt::white);
    const auto tile = tiles_.constFind(page);
    if (tile != tiles_.constEnd()) {
        // An image drawn at another zoom stands in until the new one comes.
        const qreal factor = scale() / tile->scale;
        const QRectF target(QPointF(rect.topLeft()) + QPointF(tile->region.topLeft()) * factor,
                            QSizeF(tile->region.size()) * factor);
        painter.drawImage(target, tile->image);
        return;
    }
    if (givenUp_ || failed_.contains(page)) {
        painter.setPen(palette().color(QPalette::Disabled, QPalette::WindowText));
        painter.drawText(rect, Qt::AlignCenter | Qt::TextWordWrap,
                         tr("This page could not be shown."));
    }
}

void PdfView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    notice_->setGeometry(viewport()->geometry());
    updateScrollBars();
    applyAutoScale();
    requestPages();
}

void PdfView::showEvent(QShowEvent* event) {
    QAbstractScrollArea::showEvent(event);
    applyAutoScale();
    requestPages();
}

void PdfView::scrollContentsBy(int, int) {
    viewport()->update();
    updateCurrentPage();
    requestPages();
}

void PdfView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    clearSelection();
    selectionStart_ = pagePointAt(event->position().toPoint());
}

void PdfView::mouseMoveEvent(QMouseEvent* event) {
    if (!selectionStart_ || !(event->buttons() & Qt::LeftButton)) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    // A selection stays on the page where it began.
    const QRect page = pageRect(selectionStart_->page);
    if (page.isEmpty()) {
        return;
    }
    const QPoint position = event->position().toPoint();
    const QPoint clamped(std::clamp(position.x(), page.left(), page.right()),
                         std::clamp(position.y(), page.top(), page.bottom()));
    selectTo(QPointF(clamped - page.topLeft()) / scale());
}

void PdfView::selectTo(const QPointF& end) {
    // One question at a time; a drag that moves on meanwhile asks again
    // with where it got to.
    if (selecting_) {
        pendingEnd_ = end;
        return;
    }
    selecting_ = true;
    const QPointer<PdfView> self(this);
    const int serial = selectionSerial_;
    const int generation = generation_;
    const int page = selectionStart_->page;
    document_->select(
        page, selectionStart_->point, end,
        [self, serial, generation, page](const QString& text, const QList<QPolygonF>& bounds) {
            if (!self) {
                return;
            }
            self->selecting_ = false;
            if (serial == self->selectionSerial_ && generation == self->generation_) {
                self->selectionPage_ = page;
                self->takeSelection(text, bounds);
            }
            if (self->pendingEnd_ && self->selectionStart_) {
                const QPointF next = *self->pendingEnd_;
                self->pendingEnd_.reset();
                self->selectTo(next);
            }
        });
}

void PdfView::takeSelection(const QString& text, const QList<QPolygonF>& bounds) {
    selectionText_ = text;
    selectionBounds_ = bounds;
    viewport()->update();
    Q_EMIT selectionChanged();
}

void PdfView::emitPageChanged() {
    Q_EMIT pageChanged(currentPage(), isShowingPages() ? document_->pageCount() : 0);
}

} // namespace dravelo

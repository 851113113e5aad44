#include "platform/pdf/PdfView.h"

#include "platform/desktop/Pasteboard.h"
#include "platform/pdf/PdfDocument.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPdfPageNavigator>
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

} // namespace

PdfView::PdfView(QWidget* parent)
    : QPdfView(parent) {
    setZoomMode(ZoomMode::Custom);
    setPageMode(PageMode::MultiPage);
    QPdfView::setDocument(&pdf_);
    connect(pageNavigator(), &QPdfPageNavigator::currentPageChanged, this,
            &PdfView::emitPageChanged);
    connect(&pdf_, &QPdfDocument::pageCountChanged, this, &PdfView::emitPageChanged);

    notice_ = new QWidget(this);
    auto* column = new QVBoxLayout(notice_);
    noticeText_ = new QLabel(notice_);
    noticeText_->setAlignment(Qt::AlignCenter);
    noticeText_->setWordWrap(true);
    passwordField_ = new QLineEdit(notice_);
    passwordField_->setEchoMode(QLineEdit::Password);
    passwordField_->setPlaceholderText(tr("Password"));
    passwordField_->setAccessibleName(tr("Password"));
    auto* unlockButton = new QPushButton(tr("Unlock"), notice_);
    column->addStretch();
    column->addWidget(noticeText_);
    column->addWidget(passwordField_, 0, Qt::AlignHCenter);
    column->addWidget(unlockButton, 0, Qt::AlignHCenter);
    column->addStretch();
    passwordField_->setMinimumWidth(200);
    connect(passwordField_, &QLineEdit::returnPressed, this, &PdfView::tryPassword);
    connect(unlockButton, &QPushButton::clicked, this, &PdfView::tryPassword);
    notice_->hide();
}

PdfView::~PdfView() {
    // Neither the base class nor this view's listeners hear of the document
    // while it is destroyed.
    disconnect(&pdf_, nullptr, this, nullptr);
    QPdfView::setDocument(nullptr);
}

void PdfView::setDocument(std::shared_ptr<PdfDocument> document) {
    document_ = std::move(document);
    documentGiven_ = true;
    clearSelection();
    loadShownDocument();
}

void PdfView::loadShownDocument() {
    pdf_.close();
    pdf_.setPassword(QString());
    if (document_ && document_->isReadable() && !document_->isLocked()) {
        pdf_.setPassword(document_->password());
        pdf_.load(document_->path());
    }
    showNotice();
    applyAutoScale();
    emitPageChanged();
}

void PdfView::showNotice() {
    const bool shown = pdf_.status() == QPdfDocument::Status::Ready;
    if (shown || !documentGiven_) {
        notice_->hide();
        return;
    }
    const bool locked = document_ && document_->isLocked();
    noticeText_->setText(locked ? tr("This document is password protected.\n"
                                     "Enter its password to show it.")
                                : tr("This file is not a readable PDF document."));
    passwordField_->setVisible(locked);
    notice_->findChild<QPushButton*>()->setVisible(locked);
    notice_->setGeometry(viewport()->geometry());
    notice_->show();
    if (locked) {
        passwordField_->setFocus();
    }
}

void PdfView::tryPassword() {
    if (!document_) {
        return;
    }
    const QString password = passwordField_->text();
    if (!document_->unlockWithPassword(password)) {
        noticeText_->setText(tr("Incorrect password, please try again."));
        passwordField_->selectAll();
        return;
    }
    passwordField_->clear();
    loadShownDocument();
    setFocus();
    Q_EMIT unlocked(password);
}

PdfView::DisplayMode PdfView::displayMode() const {
    return pageMode() == PageMode::SinglePage ? DisplayMode::SinglePage
                                              : DisplayMode::SinglePageContinuous;
}

void PdfView::setDisplayMode(DisplayMode mode) {
    setPageMode(mode == DisplayMode::SinglePage ? PageMode::SinglePage : PageMode::MultiPage);
    clearSelection();
    applyAutoScale();
}

void PdfView::setAutoScales(bool autoScales) {
    autoScales_ = autoScales;
    applyAutoScale();
}

void PdfView::setDisplaysPageBreaks(bool displays) {
    setPageSpacing(displays ? pageBreakSpacing : 0);
    setDocumentMargins(displays ? pageBreakMargins : QMargins());
}

int PdfView::currentPage() const {
    if (pdf_.status() != QPdfDocument::Status::Ready || pdf_.pageCount() == 0) {
        return -1;
    }
    return std::clamp(pageNavigator()->currentPage(), 0, pdf_.pageCount() - 1);
}

void PdfView::goToPage(int page) {
    if (page < 0 || page >= pdf_.pageCount()) {
        return;
    }
    pageNavigator()->jump(page, QPointF(), 0);
}

QSizeF PdfView::rowSizeForPage(int page) const {
    const QSize size = pageSizeInPixels(page);
    if (size.isEmpty()) {
        return {};
    }
    return QSizeF(size.width(), size.height() + pageSpacing());
}

void PdfView::zoomIn() {
    autoScales_ = false;
    setZoom(zoomFactor() * zoomStep);
}

void PdfView::zoomOut() {
    autoScales_ = false;
    setZoom(zoomFactor() / zoomStep);
}

void PdfView::zoomToActualSize() {
    autoScales_ = false;
    setZoom(1.0);
}

void PdfView::setZoom(qreal zoom) {
    clearSelection();
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setZoomFactor(std::clamp(zoom, smallestZoom, largestZoom));
}

void PdfView::applyAutoScale() {
    // A view not shown yet has no size of its own: it scales when shown.
    if (!autoScales_ || !isVisible() || pdf_.status() != QPdfDocument::Status::Ready ||
        pdf_.pageCount() == 0) {
        return;
    }
    // Sized from the frame, not from the viewport, so that a scroll bar
    // that comes or goes with the new zoom does not change it again.
    const QMargins margins = documentMargins();
    const int pageCount = pdf_.pageCount();
    const bool column = displayMode() == DisplayMode::SinglePageContinuous && pageCount > 1;
    // A pixel spare each way: page sizes are rounded, and a page one pixel
    // too large would bring in the scroll bars.
    int width = contentsRect().width() - margins.left() - margins.right() - 2;
    int height = contentsRect().height() - margins.top() - margins.bottom() - pageSpacing() - 2;
    if (column) {
        width -= verticalScrollBar()->sizeHint().width();
    }
    qreal widest = 0;
    qreal tallest = 0;
    const int first = column ? 0 : currentPage();
    const int last = column ? pageCount - 1 : currentPage();
    for (int page = first; page <= last; ++page) {
        const QSizeF size = pdf_.pagePointSize(page) * pixelsPerPoint();
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
    if (!column) {
        zoom = std::min(zoom, height / tallest);
    }
    setZoomFactor(std::clamp(zoom, smallestZoom, largestZoom));
}

qreal PdfView::pixelsPerPoint() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return (screen ? screen->logicalDotsPerInchY() : 72.0) / 72.0;
}

QSize PdfView::pageSizeInPixels(int page) const {
    if (pdf_.status() != QPdfDocument::Status::Ready || page < 0 || page >= pdf_.pageCount()) {
        return {};
    }
    return (pdf_.pagePointSize(page) * pixelsPerPoint() * zoomFactor()).toSize();
}

QRect PdfView::pageRect(int page) const {
    // The same layout as the base view draws: pages centred in a column
    // inside the margins, with the spacing between them.
    if (pdf_.status() != QPdfDocument::Status::Ready || page < 0 || page >= pdf_.pageCount()) {
        return {};
    }
    const bool single = displayMode() == DisplayMode::SinglePage;
    if (single && page != currentPage()) {
        return {};
    }
    const QMargins margins = documentMargins();
    const int first = single ? page : 0;
    const int last = single ? page : pdf_.pageCount() - 1;
    int widest = 0;
    int top = margins.top();
    for (int each = first; each <= last; ++each) {
        const QSize size = pageSizeInPixels(each);
        widest = std::max(widest, size.width());
        if (each < page) {
            top += size.height() + pageSpacing();
        }
    }
    const int totalWidth = widest + margins.left() + margins.right();
    const QSize size = pageSizeInPixels(page);
    const int left = (std::max(totalWidth, viewport()->width()) - size.width()) / 2;
    return QRect(QPoint(left - horizontalScrollBar()->value(), top - verticalScrollBar()->value()),
                 size);
}

std::optional<PdfView::PagePoint> PdfView::pagePointAt(const QPoint& viewportPosition) const {
    for (int page = 0; page < pdf_.pageCount(); ++page) {
        const QRect rect = pageRect(page);
        if (rect.contains(viewportPosition)) {
            const qreal scale = pixelsPerPoint() * zoomFactor();
            return PagePoint{page, QPointF(viewportPosition - rect.topLeft()) / scale};
        }
    }
    return std::nullopt;
}

bool PdfView::hasSelection() const {
    return selection_ && selection_->isValid() && !selection_->text().isEmpty();
}

QString PdfView::selectedText() const {
    return hasSelection() ? selection_->text() : QString();
}

void PdfView::clearSelection() {
    selectionStart_.reset();
    selection_.reset();
    selectionPage_ = -1;
    viewport()->update();
}

void PdfView::copy() {
    if (pasteboard_ && hasSelection()) {
        pasteboard_->setPlainText(selection_->text());
    }
}

void PdfView::paintEvent(QPaintEvent* event) {
    QPdfView::paintEvent(event);
    if (!hasSelection()) {
        return;
    }
    const QRect page = pageRect(selectionPage_);
    if (page.isEmpty()) {
        return;
    }
    QPainter painter(viewport());
    painter.translate(page.topLeft());
    const qreal scale = pixelsPerPoint() * zoomFactor();
    painter.scale(scale, scale);
    QColor highlight = palette().color(QPalette::Highlight);
    highlight.setAlpha(96);
    painter.setPen(Qt::NoPen);
    painter.setBrush(highlight);
    for (const QPolygonF& bounds : selection_->bounds()) {
        painter.drawPolygon(bounds);
    }
}

void PdfView::resizeEvent(QResizeEvent* event) {
    QPdfView::resizeEvent(event);
    notice_->setGeometry(viewport()->geometry());
    applyAutoScale();
}

void PdfView::showEvent(QShowEvent* event) {
    QPdfView::showEvent(event);
    applyAutoScale();
}

void PdfView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QPdfView::mousePressEvent(event);
        return;
    }
    clearSelection();
    selectionStart_ = pagePointAt(event->position().toPoint());
}

void PdfView::mouseMoveEvent(QMouseEvent* event) {
    if (!selectionStart_ || !(event->buttons() & Qt::LeftButton)) {
        QPdfView::mouseMoveEvent(event);
        return;
    }
    // A selection stays on the page where it began.
    const QRect page = pageRect(selectionStart_->page);
    const QPoint position = event->position().toPoint();
    const QPoint clamped(std::clamp(position.x(), page.left(), page.right()),
                         std::clamp(position.y(), page.top(), page.bottom()));
    const qreal scale = pixelsPerPoint() * zoomFactor();
    const QPointF end = QPointF(clamped - page.topLeft()) / scale;
    selection_ = pdf_.getSelection(selectionStart_->page, selectionStart_->point, end);
    selectionPage_ = selectionStart_->page;
    viewport()->update();
}

void PdfView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QPdfView::mouseReleaseEvent(event);
        return;
    }
    selectionStart_.reset();
}

void PdfView::emitPageChanged() {
    Q_EMIT pageChanged(currentPage(),
                       pdf_.status() == QPdfDocument::Status::Ready ? pdf_.pageCount() : 0);
}

} // namespace dravelo

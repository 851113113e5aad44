#include "platform/pdf/PdfToolBar.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>

#include <iterator>

namespace dravelo {
namespace {

struct ZoomChoice {
    PdfView::AutoScale autoScale;
    // The zoom factor, when the view does not scale by itself.
    qreal zoom;
    // The name shown; a percentage without one.
    const char* name;
};

constexpr ZoomChoice zoomChoices[] = {
    {PdfView::AutoScale::Width, 0, QT_TRANSLATE_NOOP("dravelo::PdfToolBar", "Fit Width")},
    {PdfView::AutoScale::Page, 0, QT_TRANSLATE_NOOP("dravelo::PdfToolBar", "Fit Page")},
    {PdfView::AutoScale::Off, 1.0, QT_TRANSLATE_NOOP("dravelo::PdfToolBar", "Actual Size")},
    {PdfView::AutoScale::Off, 0.5, nullptr},
    {PdfView::AutoScale::Off, 0.75, nullptr},
    {PdfView::AutoScale::Off, 1.25, nullptr},
    {PdfView::AutoScale::Off, 1.5, nullptr},
    {PdfView::AutoScale::Off, 2.0, nullptr},
    {PdfView::AutoScale::Off, 4.0, nullptr},
};

QString percentage(qreal zoom) {
    return PdfToolBar::tr("%1%").arg(qRound(zoom * 100));
}

// The choice that names the view's zoom; -1 when none does.
int choiceShowing(const PdfView& view) {
    for (int index = 0; index < int(std::size(zoomChoices)); ++index) {
        const ZoomChoice& choice = zoomChoices[index];
        if (choice.autoScale != view.autoScale()) {
            continue;
        }
        if (choice.autoScale != PdfView::AutoScale::Off ||
            qFuzzyCompare(choice.zoom, view.zoomFactor())) {
            return index;
        }
    }
    return -1;
}

} // namespace

PdfToolBar::PdfToolBar(PdfView& view, QWidget* parent)
    : QToolBar(parent)
    , view_(&view) {
    setMovable(false);
    setFloatable(false);
    setToolButtonStyle(Qt::ToolButtonFollowStyle);
    // Small icons keep the bar within the height of a row of menus.
    const int side = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    setIconSize(QSize(side, side));
}

void PdfToolBar::addCommand(QAction* action, const QString& iconName,
                            std::optional<QStyle::StandardPixmap> fallback) {
    action->setIcon(QIcon::fromTheme(
        iconName, fallback ? style()->standardIcon(*fallback, nullptr, this) : QIcon()));
    const QString text = action->iconText();
    const QString shortcut = action->shortcut().toString(QKeySequence::NativeText);
    action->setToolTip(shortcut.isEmpty() ? text : tr("%1 (%2)").arg(text, shortcut));
    addAction(action);
    QWidget* button = widgetForAction(action);
    button->setAccessibleName(text);
    button->setFocusPolicy(Qt::NoFocus);
}

void PdfToolBar::addZoomChoice() {
    zoomChoice_ = new QComboBox(this);
    for (const ZoomChoice& choice : zoomChoices) {
        zoomChoice_->addItem(choice.name ? tr(choice.name) : percentage(choice.zoom));
    }
    zoomChoice_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    zoomChoice_->setFocusPolicy(Qt::NoFocus);
    zoomChoice_->setAccessibleName(tr("Zoom"));
    zoomChoice_->setToolTip(tr("Zoom"));
    addWidget(zoomChoice_);
    connect(zoomChoice_, &QComboBox::activated, this, &PdfToolBar::chooseZoom);
    connect(view_, &PdfView::zoomChanged, this, &PdfToolBar::showZoom);
    showZoom();
}

void PdfToolBar::addPageField() {
    pageField_ = new QSpinBox(this);
    pageField_->setButtonSymbols(QAbstractSpinBox::NoButtons);
    pageField_->setAlignment(Qt::AlignRight);
    // The view turns once the number is entered, not at every digit typed.
    pageField_->setKeyboardTracking(false);
    pageField_->setAccessibleName(tr("Page"));
    pageField_->setToolTip(tr("Page: type its number and press Enter to go there"));
    pageCount_ = new QLabel(this);
    pageCount_->setContentsMargins(4, 0, 4, 0);
    addWidget(pageField_);
    addWidget(pageCount_);
    connect(pageField_, &QSpinBox::valueChanged, this, &PdfToolBar::goToTypedPage);
    connect(pageField_, &QSpinBox::editingFinished, this, [this] {
        if (pageField_->hasFocus() && view_) {
            view_->setFocus(Qt::OtherFocusReason);
        }
    });
    connect(view_, &PdfView::pageChanged, this, &PdfToolBar::showPage);
    showPage(-1, 0);
}

void PdfToolBar::chooseZoom(int index) {
    if (!view_ || index < 0 || index >= int(std::size(zoomChoices))) {
        return;
    }
    const ZoomChoice& choice = zoomChoices[index];
    if (choice.autoScale == PdfView::AutoScale::Off) {
        view_->setZoomFactor(choice.zoom);
    } else {
        view_->setAutoScale(choice.autoScale);
    }
}

void PdfToolBar::showZoom() {
    if (!view_) {
        return;
    }
    // A zoom no choice names is shown in place of one.
    zoomChoice_->setPlaceholderText(percentage(view_->zoomFactor()));
    zoomChoice_->setCurrentIndex(choiceShowing(*view_));
}

void PdfToolBar::showPage(int page, int pageCount) {
    const bool shown = page >= 0 && pageCount > 0;
    const QSignalBlocker quiet(pageField_);
    pageField_->setSpecialValueText(shown ? QString() : QStringLiteral("–"));
    pageField_->setRange(shown ? 1 : 0, shown ? pageCount : 0);
    pageField_->setValue(page + 1);
    pageField_->setEnabled(shown);
    pageCount_->setText(shown ? tr("of %1").arg(pageCount) : QString());
}

void PdfToolBar::goToTypedPage() {
    if (view_) {
        view_->goToPage(pageField_->value() - 1);
    }
}

} // namespace dravelo

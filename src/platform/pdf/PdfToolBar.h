#pragma once

#include "platform/pdf/PdfView.h"

#include <QPointer>
#include <QStyle>
#include <QToolBar>

#include <optional>

class QComboBox;
class QLabel;
class QSpinBox;

namespace dravelo {

// A tool bar for a PDF view, made to sit in the row of its window's menus:
// the window's own commands as buttons, a choice of zoom, and the number of
// the page shown, which turns the view to the page typed. Neither the
// buttons nor the zoom choice ever take the keyboard focus; the page field
// does when the user goes to it, and hands it back to the view once a page
// number is entered.
class PdfToolBar : public QToolBar {
    Q_OBJECT

public:
    explicit PdfToolBar(PdfView& view, QWidget* parent = nullptr);

    // Shows the action as a button: with the desktop's icon named iconName,
    // else the style's fallback, else its text alone; text beside or under
    // the icon as the desktop's style says. Its tooltip gives its shortcut.
    void addCommand(QAction* action, const QString& iconName,
                    std::optional<QStyle::StandardPixmap> fallback = std::nullopt);
    // Fit width, fit page, actual size and a few percentages; shows the
    // view's zoom as it changes.
    void addZoomChoice();
    // The page shown as "N" with "of M" beside it.
    void addPageField();

    QComboBox* zoomChoice() const { return zoomChoice_; }
    QSpinBox* pageField() const { return pageField_; }

private:
    void chooseZoom(int index);
    void showZoom();
    void showPage(int page, int pageCount);
    void goToTypedPage();

    QPointer<PdfView> view_;
    QComboBox* zoomChoice_ = nullptr;
    QSpinBox* pageField_ = nullptr;
    QLabel* pageCount_ = nullptr;
};

} // namespace dravelo

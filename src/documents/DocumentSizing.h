#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QSizeF>

#include <optional>

namespace dravelo {

// The arithmetic that places a job's window on the screen.
class DocumentSizing {
public:
    // The height left free above and below a job's window.
    static constexpr int verticalAllowance = 70;
    // The size given when the arithmetic has nothing to work on (no screen,
    // a page of no size): a window the user can see and resize.
    static constexpr QSize fallbackSize{600, 400};

    // The content size that fits one row of pages (rowSize) on the main
    // screen's visible frame, keeping the row's proportions. A column of two
    // or more pages leaves room for the vertical scroll bar. Computed in the
    // mixed single and double precision the window layout has always used,
    // so that sizes come out the same to the pixel.
    static QSize contentSize(const std::optional<QRect>& visibleFrame, bool continuous,
                             int pageCount, int scrollerWidth, const QSizeF& rowSize);

    // Where a window of the given width is put after the print panel: centred
    // on the first screen, at its height.
    static QPoint printPanelOrigin(const std::optional<QRect>& firstScreenFrame,
                                   double windowWidth);
};

} // namespace dravelo

#include "documents/DocumentSizing.h"

#include <algorithm>
#include <cmath>

namespace dravelo {

QSize DocumentSizing::contentSize(const std::optional<QRect>& visibleFrame, bool continuous,
                                  int pageCount, int scrollerWidth, const QSizeF& rowSize) {
    double width = visibleFrame ? visibleFrame->width() : 0.0;
    const double height =
        (visibleFrame ? visibleFrame->height() : 0.0) - static_cast<double>(verticalAllowance);
    if (continuous && pageCount >= 2) {
        width -= scrollerWidth;
    }
    const double rowWidth = rowSize.width();
    const double rowHeight = rowSize.height();
    if (!(rowWidth > 0) || !(rowHeight > 0) || !(width > 0) || !(height > 0)) {
        const int fallbackWidth =
            width > 0 ? std::min(fallbackSize.width(), int(width)) : fallbackSize.width();
        const int fallbackHeight =
            height > 0 ? std::min(fallbackSize.height(), int(height)) : fallbackSize.height();
        return {fallbackWidth, fallbackHeight};
    }
    const float widthRatio = static_cast<float>(width / rowWidth);
    const double heightRatio = height / rowHeight;
    const float scale = static_cast<double>(widthRatio) > heightRatio
                            ? static_cast<float>(heightRatio)
                            : widthRatio;
    const float scaledWidth = static_cast<float>(static_cast<double>(scale) * rowWidth);
    const float scaledHeight = static_cast<float>(static_cast<double>(scale) * rowHeight);
    return {static_cast<int>(std::floor(scaledWidth)), static_cast<int>(std::floor(scaledHeight))};
}

QPoint DocumentSizing::printPanelOrigin(const std::optional<QRect>& firstScreenFrame,
                                        double windowWidth) {
    const int screenWidth = firstScreenFrame ? firstScreenFrame->width() : 0;
    const double screenHeight = firstScreenFrame ? firstScreenFrame->height() : 0.0;
    const int x = static_cast<int>((screenWidth - windowWidth) * 0.5);
    return {x, static_cast<int>(screenHeight)};
}

} // namespace dravelo

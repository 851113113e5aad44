#pragma once

#include <QList>
#include <QRect>

#include <optional>

namespace dravelo {

// The screens the client's windows can be on, in points (logical pixels).
class Screen {
public:
    // The main screen's area that windows may use (without panels and docks);
    // none without a screen.
    static std::optional<QRect> mainVisibleFrame();
    // The whole area of every screen; the first is the primary screen.
    static QList<QRect> frames();
    // The width of a standard vertical scroll bar.
    static int scrollerWidth();
};

} // namespace dravelo

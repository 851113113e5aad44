#include "platform/desktop/Screen.h"

#include <QApplication>
#include <QScreen>
#include <QStyle>

namespace dravelo {

std::optional<QRect> Screen::mainVisibleFrame() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        return std::nullopt;
    }
    return screen->availableGeometry();
}

QList<QRect> Screen::frames() {
    QList<QRect> frames;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary) {
        frames.append(primary->geometry());
    }
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen != primary) {
            frames.append(screen->geometry());
        }
    }
    return frames;
}

int Screen::scrollerWidth() {
    return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}

} // namespace dravelo

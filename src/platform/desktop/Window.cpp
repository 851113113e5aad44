#include "platform/desktop/Window.h"

#include <QResizeEvent>

namespace dravelo {
namespace {

QList<Window*>& registry() {
    static QList<Window*> windows;
    return windows;
}

} // namespace

Window::Window(Kind kind, QWidget* parent)
    : QWidget(parent, kind == Kind::Panel ? Qt::Tool : Qt::Window)
    , kind_(kind)
    , contentSize_(size()) {
    registry().append(this);
}

Window::~Window() {
    registry().removeOne(this);
}

void Window::setContentSize(const QSize& size) {
    contentSize_ = size;
    if (size.isEmpty()) {
        // A window system cannot show a window of no size: it is hidden.
        hide();
        return;
    }
    resize(size);
}

void Window::makeKeyAndOrderFront() {
    if (contentSize_.isEmpty()) {
        return;
    }
    show();
    raise();
    activateWindow();
}

QList<Window*> Window::all() {
    return registry();
}

void Window::resizeEvent(QResizeEvent* event) {
    contentSize_ = event->size();
    QWidget::resizeEvent(event);
}

} // namespace dravelo

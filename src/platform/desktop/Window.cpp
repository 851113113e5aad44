#include "platform/desktop/Window.h"

#include "platform/desktop/UserActivation.h"

#include <QCloseEvent>
#include <QLayout>
#include <QResizeEvent>
#include <QVBoxLayout>

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

QSize Window::contentSize() const {
    if (contentSize_.isEmpty() || !contentView_) {
        return contentSize_;
    }
    return contentView_->size();
}

void Window::setContentSize(const QSize& size) {
    contentSize_ = size;
    if (size.isEmpty()) {
        // A window system cannot show a window of no size: it is hidden.
        hide();
        return;
    }
    if (!contentView_) {
        resize(size);
        return;
    }
    // The layout places the content view inside the window's current size;
    // what the view lacks of the wanted size, the window grows by.
    if (layout()) {
        layout()->activate();
    }
    resize(this->size() - contentView_->size() + size);
}

void Window::setContentView(QWidget* view) {
    contentView_ = view;
    if (!view || view->window() == this) {
        return;
    }
    if (!layout()) {
        auto* column = new QVBoxLayout(this);
        column->setContentsMargins(0, 0, 0, 0);
    }
    layout()->addWidget(view);
}

void Window::makeKeyAndOrderFront() {
    if (contentSize_.isEmpty()) {
        return;
    }
    UserActivation::present(*this);
}

QList<Window*> Window::all() {
    return registry();
}

void Window::resizeEvent(QResizeEvent* event) {
    if (!contentSize_.isEmpty() || isVisible()) {
        contentSize_ = event->size();
    }
    QWidget::resizeEvent(event);
}

void Window::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted()) {
        Q_EMIT closed();
    }
}

} // namespace dravelo

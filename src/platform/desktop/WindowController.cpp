#include "platform/desktop/WindowController.h"

#include "platform/desktop/Document.h"

namespace dravelo {

WindowController::WindowController(QObject* parent)
    : QObject(parent) {}

WindowController::~WindowController() {
    delete window_.data();
}

Window* WindowController::window() {
    if (!window_) {
        window_ = makeWindow();
        connect(window_, &Window::closed, this, [this] {
            Document* shown = document();
            if (shown && shouldCloseDocument()) {
                shown->close();
            }
        });
        windowDidLoad();
    }
    return window_;
}

void WindowController::showWindow() {
    window()->makeKeyAndOrderFront();
}

Document* WindowController::document() const {
    return qobject_cast<Document*>(parent());
}

void WindowController::close() {
    if (window_) {
        window_->close();
    }
}

} // namespace dravelo

#include "platform/desktop/WindowController.h"

namespace dravelo {

WindowController::WindowController(QObject* parent)
    : QObject(parent) {}

WindowController::~WindowController() {
    delete window_.data();
}

Window* WindowController::window() {
    if (!window_) {
        window_ = makeWindow();
        windowDidLoad();
    }
    return window_;
}

void WindowController::showWindow() {
    window()->makeKeyAndOrderFront();
}

void WindowController::close() {
    if (window_) {
        window_->close();
    }
}

} // namespace dravelo

#include "platform/desktop/UserActivation.h"

#include <QApplication>
#include <QWidget>

namespace dravelo {

int UserActivation::depth_ = 0;

UserActivation::UserActivation() {
    ++depth_;
}

UserActivation::~UserActivation() {
    --depth_;
}

bool UserActivation::mayTakeFocus() {
    // One of the client's windows has the keyboard focus. (Qt's application
    // state stays active when the focused window closes and the focus goes
    // to another program.)
    return depth_ > 0 || QGuiApplication::focusWindow() != nullptr;
}

void UserActivation::present(QWidget& window) {
    const bool takesFocus = mayTakeFocus();
    // Tells the window manager not to give the new window the focus.
    window.setAttribute(Qt::WA_ShowWithoutActivating, !takesFocus);
    window.show();
    if (takesFocus) {
        window.raise();
        window.activateWindow();
    }
}

void UserActivation::presentPrompt(QWidget& window) {
    const bool takesFocus = mayTakeFocus();
    present(window);
    if (!takesFocus) {
        QApplication::alert(&window, 0);
    }
}

} // namespace dravelo

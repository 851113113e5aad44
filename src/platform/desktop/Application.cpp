#include "platform/desktop/Application.h"

#include "platform/desktop/Window.h"

#include <QTimer>

namespace dravelo {
namespace {

// Windows the user can see: shown and not hidden by their content size.
QList<Window*> shownWindows() {
    QList<Window*> shown;
    for (Window* window : Window::all()) {
        if (window->isVisible() && !window->contentSize().isEmpty()) {
            shown.append(window);
        }
    }
    return shown;
}

} // namespace

Application::Application(int& argc, char** argv)
    : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("dravelo"));
    setApplicationDisplayName(QStringLiteral("Dravelo Client"));
    setDesktopFileName(QStringLiteral("com.dravelo.client"));
    setQuitOnLastWindowClosed(false);
}

int Application::requestUserAttention(Request request) {
    const int number = ++lastRequestNumber_;
    outstanding_.insert(number, request);
    QTimer::singleShot(0, this, [this, number, request] {
        if (!outstanding_.contains(number)) {
            return;
        }
        if (request == Request::Critical) {
            alertWindows(0);
            return;
        }
        outstanding_.remove(number);
        alertWindows(informationalRequestMs);
        // Qt drops the mark on the next exchange with the window system
        // after the duration; make sure there is one.
        QTimer::singleShot(informationalRequestMs + 100, this, [] { QGuiApplication::sync(); });
    });
    return number;
}

void Application::cancelUserAttentionRequest(int requestNumber) {
    if (!outstanding_.remove(requestNumber)) {
        return;
    }
    // A timed alert replaces the lasting mark and clears it when it ends.
    QTimer::singleShot(0, this, [this] {
        alertWindows(1);
        QTimer::singleShot(100, this, [] { QGuiApplication::sync(); });
    });
}

void Application::activateIgnoringOtherApps(bool) {
    QTimer::singleShot(0, this, [] {
        QWidget* front = activeModalWidget();
        if (!front) {
            const QList<Window*> shown = shownWindows();
            front = shown.isEmpty() ? nullptr : shown.last();
        }
        if (front) {
            front->raise();
            front->activateWindow();
        }
    });
}

void Application::alertWindows(int durationMs) {
    for (Window* window : shownWindows()) {
        alert(window, durationMs);
    }
}

} // namespace dravelo

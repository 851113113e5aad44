#include "platform/desktop/Document.h"

#include "platform/desktop/WindowController.h"

namespace dravelo {

Document::Document(const QString& filePath)
    : filePath_(filePath) {}

Document::~Document() = default;

void Document::addWindowController(WindowController* controller) {
    controller->setParent(this);
    windowControllers_.append(controller);
}

void Document::showWindows() {
    // A document closed while its windows were prepared shows nothing.
    if (closing_) {
        return;
    }
    for (WindowController* controller : std::as_const(windowControllers_)) {
        controller->showWindow();
    }
}

void Document::close() {
    if (closing_) {
        return;
    }
    closing_ = true;
    for (WindowController* controller : std::as_const(windowControllers_)) {
        controller->close();
    }
    Q_EMIT closed(this);
    deleteLater();
}

} // namespace dravelo

#pragma once

#include "platform/desktop/Window.h"

#include <QObject>
#include <QPointer>

namespace dravelo {

class Document;

// Manages one window, loaded on first use, on behalf of a document or on its
// own (for example the Preferences window).
class WindowController : public QObject {
    Q_OBJECT

public:
    explicit WindowController(QObject* parent = nullptr);
    ~WindowController() override;

    // The window, created by makeWindow() and loaded on first access.
    Window* window();

    // Loads the window if needed and brings it to the front.
    void showWindow();
    void close();

    // The document the controller shows, if any (its parent).
    Document* document() const;

    // Whether closing the window closes the document too.
    virtual bool shouldCloseDocument() const { return false; }

protected:
    // Creates the window; called once, on first access.
    virtual Window* makeWindow() = 0;
    // Runs once the window exists.
    virtual void windowDidLoad() {}

private:
    QPointer<Window> window_;
};

} // namespace dravelo

#pragma once

#include <QSize>
#include <QString>

#include <functional>
#include <memory>

namespace dravelo {

// A modal prompt: a message, an informative text under it, buttons in the
// order added and an optional single-line text field. Belongs to the UI
// thread.
class Alert {
public:
    // What runModal() returns for the first and the second button added.
    static constexpr int firstButtonReturn = 1000;
    static constexpr int secondButtonReturn = 1001;
    // Key equivalents a button can take.
    static inline const QString returnKey = QStringLiteral("\r");
    static inline const QString escapeKey = QStringLiteral("\x1b");

    virtual ~Alert() = default;

    virtual void setMessageText(const QString& text) = 0;
    virtual QString messageText() const = 0;
    virtual void setInformativeText(const QString& text) = 0;
    virtual QString informativeText() const = 0;
    // Adds a button after the ones already there. The key equivalent is
    // returnKey, escapeKey or empty.
    virtual void addButton(const QString& title, const QString& keyEquivalent) = 0;
    // Gives the prompt a single-line text field of this size.
    virtual void setTextField(const QSize& size) = 0;
    virtual QString fieldText() const = 0;
    virtual void setFieldText(const QString& text) = 0;
    // Shows the prompt in front, with the keyboard focus in the field, and
    // returns when a button ends it: firstButtonReturn + the button's index.
    // A prompt closed without a button (or by quitting) counts as the button
    // whose key equivalent is Esc.
    virtual int runModal() = 0;
};

// Creates the alerts of the client; tests hand in scripted ones.
using AlertFactory = std::function<std::unique_ptr<Alert>()>;

} // namespace dravelo

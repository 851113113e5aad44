#pragma once

#include "platform/desktop/Alert.h"

#include <QString>

#include <memory>

namespace dravelo {

class PdfDocument;

// The modal prompt for the password of a PDF: a message, an informative
// text, two buttons in the order given (the one whose key is Esc gives up)
// and a field 200 by 24 that shows the password as typed. A password that
// does not open the PDF is answered with "Incorrect password, please try
// again." (or why it could not be checked) and the prompt again, without
// limit; the field keeps what was typed.
class PasswordPrompt {
public:
    struct Button {
        QString title;
        QString keyEquivalent;
    };

    PasswordPrompt(const AlertFactory& makeAlert, const Button& first, const Button& second);

    // The prompt for the password that opens a protected job: "Escape"
    // gives up, "Enter" tries the password.
    static PasswordPrompt forProtectedDocument(const AlertFactory& makeAlert);
    // Names the job's file in the message: "The document NAME is password
    // protected.", then "Please enter the password below.".
    void setProtectedDocument(const QString& path);

    void setMessageText(const QString& text);
    void setInformativeText(const QString& text);

    // Runs the prompt until a typed password opens the PDF (true) or the
    // user gives up (false).
    bool ask(PdfDocument& pdf);

private:
    std::unique_ptr<Alert> alert_;
    int giveUpResult_;
};

} // namespace dravelo

#include "documents/PasswordPrompt.h"

#include "platform/pdf/PdfDocument.h"

#include <QFileInfo>

namespace dravelo {
namespace {

constexpr QSize fieldSize(200, 24);

// What the prompt says after a password did not open the PDF.
QString retryText(const PdfDocument& pdf) {
    if (pdf.failure().isEmpty()) {
        return QStringLiteral("Incorrect password, please try again.");
    }
    return QStringLiteral("The password could not be checked: %1. Please try again.")
        .arg(pdf.failure());
}

} // namespace

PasswordPrompt::PasswordPrompt(const AlertFactory& makeAlert, const Button& first,
                               const Button& second)
    : alert_(makeAlert())
    , giveUpResult_(second.keyEquivalent == Alert::escapeKey ? Alert::secondButtonReturn
                                                             : Alert::firstButtonReturn) {
    alert_->addButton(first.title, first.keyEquivalent);
    alert_->addButton(second.title, second.keyEquivalent);
    alert_->setTextField(fieldSize);
}

PasswordPrompt PasswordPrompt::forProtectedDocument(const AlertFactory& makeAlert) {
    return PasswordPrompt(makeAlert, {QStringLiteral("Escape"), Alert::escapeKey},
                          {QStringLiteral("Enter"), Alert::returnKey});
}

void PasswordPrompt::setProtectedDocument(const QString& path) {
    alert_->setMessageText(
        QStringLiteral("The document ") + QFileInfo(path).fileName() +
        QStringLiteral(" is password protected.\nPlease enter the password below."));
}

void PasswordPrompt::setMessageText(const QString& text) {
    alert_->setMessageText(text);
}

void PasswordPrompt::setInformativeText(const QString& text) {
    alert_->setInformativeText(text);
}

bool PasswordPrompt::ask(PdfDocument& pdf) {
    while (alert_->runModal() != giveUpResult_) {
        if (pdf.unlockWithPassword(alert_->fieldText())) {
            return true;
        }
        alert_->setInformativeText(retryText(pdf));
    }
    return false;
}

} // namespace dravelo

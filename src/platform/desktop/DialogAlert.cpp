#include "platform/desktop/DialogAlert.h"

#include "platform/desktop/UserActivation.h"

#include <QDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace dravelo {
namespace {

QLabel* plainLabel(QWidget* parent) {
    // Texts may carry file names from a server: never read them as markup.
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

DialogAlert::DialogAlert()
    : dialog_(std::make_unique<QDialog>()) {
    // The client usually has no window open when a prompt comes: it must be
    // seen over whatever the user is working in.
    dialog_->setWindowFlag(Qt::WindowStaysOnTopHint);
    dialog_->setWindowTitle(QGuiApplication::applicationDisplayName());
    auto* layout = new QVBoxLayout(dialog_.get());
    message_ = plainLabel(dialog_.get());
    QFont bold = message_->font();
    bold.setBold(true);
    message_->setFont(bold);
    informative_ = plainLabel(dialog_.get());
    field_ = new QLineEdit(dialog_.get());
    field_->hide();
    layout->addWidget(message_);
    layout->addWidget(informative_);
    layout->addWidget(field_);
    buttonRow_ = new QHBoxLayout;
    layout->addLayout(buttonRow_);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

DialogAlert::~DialogAlert() = default;

void DialogAlert::setMessageText(const QString& text) {
    message_->setText(text);
}

QString DialogAlert::messageText() const {
    return message_->text();
}

void DialogAlert::setInformativeText(const QString& text) {
    informative_->setText(text);
    informative_->setVisible(!text.isEmpty());
}

QString DialogAlert::informativeText() const {
    return informative_->text();
}

void DialogAlert::addButton(const QString& title, const QString& keyEquivalent) {
    auto* button = new QPushButton(title, dialog_.get());
    const int result = firstButtonReturn + static_cast<int>(buttons_.size());
    // Return presses only the button that names it, even while another
    // button has the focus.
    button->setAutoDefault(false);
    button->setDefault(keyEquivalent == returnKey);
    QObject::connect(button, &QPushButton::clicked, dialog_.get(),
                     [this, result] { dialog_->done(result); });
    buttonRow_->addWidget(button);
    buttons_.append(button);
    keyEquivalents_.append(keyEquivalent);
}

void DialogAlert::setTextField(const QSize& size) {
    field_->setFixedSize(size);
    field_->show();
}

QString DialogAlert::fieldText() const {
    return field_->text();
}

void DialogAlert::setFieldText(const QString& text) {
    field_->setText(text);
}

int DialogAlert::runModal() {
    UserActivation::presentPrompt(*dialog_);
    if (field_->isVisible()) {
        field_->setFocus();
        field_->selectAll();
    }
    const int result = dialog_->exec();
    // Esc (reject), closing the window and quitting the client end the
    // prompt without a button: they count as the button Esc names.
    const bool byButton = result >= firstButtonReturn &&
                          result < firstButtonReturn + static_cast<int>(buttons_.size());
    return byButton ? result : escapeResult();
}

int DialogAlert::escapeResult() const {
    const qsizetype index = keyEquivalents_.indexOf(escapeKey);
    return firstButtonReturn + static_cast<int>(index < 0 ? 0 : index);
}

} // namespace dravelo

#include "services/DVCPreferencesController.h"

#include "base/DVCKeyring.h"
#include "base/DVCNotificationCenter.h"
#include "base/Settings.h"
#include "platform/core/Log.h"
#include "platform/core/UserDefaults.h"
#include "platform/desktop/SettingsBinder.h"
#include "server/DVCWebsocket.h"

#include "ui_Preferences.h"

#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>

namespace dravelo {
namespace {

using Choice = SettingsBinder::Choice;

// The values the client tells apart, each under a label that reads well on
// this desktop; the value is what the settings file holds.
const QList<Choice> printJobActions = {
    {QStringLiteral("Show it in a job window"),
     Settings::spelling(PrintJobAction::PreviewPrintJob)},
    {QStringLiteral("Print it on the default printer"),
     Settings::spelling(PrintJobAction::PrintDirectlyToPrinter)},
    {QStringLiteral("Open it in the PDF viewer"),
     Settings::spelling(PrintJobAction::OpenInMacPreview)},
    {QStringLiteral("Show only the print dialog"),
     Settings::spelling(PrintJobAction::DisplayPrintDialogOnly)},
};

const QList<Choice> attentionRequests = {
    {QStringLiteral("Once"), Settings::spelling(JobNotification::SingleNotification)},
    {QStringLiteral("Once, and bring the window to the front"),
     Settings::spelling(JobNotification::BringToFront)},
    {QStringLiteral("Until the window is looked at"),
     Settings::spelling(JobNotification::InfiniteNotification)},
    {QStringLiteral("Never"), Settings::spelling(JobNotification::None)},
};

const QList<Choice> afterPrinting = {
    {QStringLiteral("Keep the job window open"), Settings::spelling(PrintingAction::NoAction)},
    {QStringLiteral("Close the job window"), Settings::spelling(PrintingAction::HideDocument)},
};

} // namespace

DVCPreferencesController::DVCPreferencesController(DVCPreferencesContext context, QObject* parent)
    : WindowController(parent)
    , context_(std::move(context)) {
    if (!context_.readCredentials) {
        context_.readCredentials = [] { return DVCKeyring::getKey(); };
    }
    if (!context_.storeCredentials) {
        context_.storeCredentials = [](const QString& account, const QString& password,
                                       QString* failure) {
            return DVCKeyring::addKey(account, password, failure);
        };
    }
}

DVCPreferencesController::~DVCPreferencesController() = default;

Window* DVCPreferencesController::makeWindow() {
    auto* window = new Window();
    ui_ = std::make_unique<Ui::Preferences>();
    ui_->setupUi(window);
    bindSettings();
    connectActions(window);
    window->resize(window->sizeHint());
    return window;
}

void DVCPreferencesController::bindSettings() {
    auto* settings = new SettingsBinder(context_.defaults, this);
    settings->bindText(ui_->serviceUrlField, Settings::serviceUrl);
    settings->bindText(ui_->clientNameField, Settings::clientName);
    settings->bindFlag(ui_->rememberCredentialsBox, Settings::rememberCredentials);
    settings->bindChoice(ui_->actionPrintJobList, Settings::actionPrintJob, printJobActions);
    settings->bindChoice(ui_->notificationPrintJobList, Settings::notificationPrintJob,
                         attentionRequests);
    settings->bindChoice(ui_->printingActionList, Settings::printingAction, afterPrinting);
    settings->bindFlag(ui_->enableDriveMapBox, Settings::enableDriveMap);
    settings->bindFlag(ui_->enableClipboardBox, Settings::enableClipboard);
    // The binder has written the store by the time it tells of an edit.
    QObject::connect(settings, &SettingsBinder::settingEdited, this,
                     [this] { controlTextDidChange(); });
}

void DVCPreferencesController::connectActions(Window* window) {
    for (QLineEdit* field :
         {ui_->usernameTextField, ui_->hidePasswordTextField, ui_->showPasswordTextField}) {
        QObject::connect(field, &QLineEdit::textEdited, this, [this] { controlTextDidChange(); });
    }
    QObject::connect(ui_->showPasswordButton, &QCheckBox::toggled, this,
                     [this] { showPassword(); });
    QObject::connect(saveButton(), &QPushButton::clicked, this, [this] { saveCredentials(); });
    QObject::connect(ui_->buttonBox->button(QDialogButtonBox::Close), &QPushButton::clicked, window,
                     &QWidget::close);

    // Save is the window's default button: Return saves wherever the focus
    // is, while Save is enabled. Escape closes the window, as in a dialog.
    saveButton()->setDefault(true);
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
        QObject::connect(new QShortcut(key, window), &QShortcut::activated, this, [this] {
            if (saveButton()->isEnabled()) {
                saveButton()->click();
            }
        });
    }
    QObject::connect(new QShortcut(QKeySequence(Qt::Key_Escape), window), &QShortcut::activated,
                     window, &QWidget::close);
}

void DVCPreferencesController::windowDidLoad() {
    if (const std::optional<DVCKeyringItem> item = context_.readCredentials()) {
        ui_->usernameTextField->setText(item->accountText());
        ui_->hidePasswordTextField->setText(item->passwordText());
        ui_->showPasswordTextField->setText(item->passwordText());
    }
    enableSaveButton();
    ui_->usernameTextField->setFocus();
}

void DVCPreferencesController::saveCredentials() {
    close();
    const QString username = ui_->usernameTextField->text();
    const QString password = ui_->hidePasswordTextField->isHidden()
                                 ? ui_->showPasswordTextField->text()
                                 : ui_->hidePasswordTextField->text();
    if (username.isEmpty() || !storeCredentials(username, password)) {
        return;
    }
    if (!websocket_) {
        websocket_ = context_.makeSession(lock_, notificationCenter_);
    }
    websocket_->disconnect();
    websocket_->connect();
}

bool DVCPreferencesController::storeCredentials(const QString& account, const QString& password) {
    QString failure;
    if (context_.storeCredentials(account, password, &failure)) {
        return true;
    }
    // The window is gone already: without a word the user would take the
    // Save for done.
    if (notificationCenter_) {
        notificationCenter_->sendNotification(
            QStringLiteral("Could not store the credentials: %1").arg(failure));
    }
    return false;
}

void DVCPreferencesController::showPassword() {
    QLineEdit* masked = ui_->hidePasswordTextField;
    QLineEdit* plain = ui_->showPasswordTextField;
    const bool reveal = ui_->showPasswordButton->isChecked();
    QLineEdit* from = reveal ? masked : plain;
    QLineEdit* to = reveal ? plain : masked;
    to->setText(from->text());
    const bool hadFocus = from->hasFocus();
    to->setHidden(false);
    from->setHidden(true);
    if (hadFocus) {
        to->setFocus();
    }
}

void DVCPreferencesController::setWebsocket(std::shared_ptr<DVCWebsocket> websocket) {
    websocket_ = std::move(websocket);
}

void DVCPreferencesController::setLock(JobLock& lock) {
    lock_ = &lock;
}

void DVCPreferencesController::setNotificationCenter(
    std::shared_ptr<DVCNotificationCenter> notificationCenter) {
    notificationCenter_ = std::move(notificationCenter);
}

void DVCPreferencesController::controlTextDidChange() {
    enableSaveButton();
}

void DVCPreferencesController::enableSaveButton() {
    saveButton()->setEnabled(!ui_->usernameTextField->text().isEmpty() &&
                             settingHasText(Settings::clientName) &&
                             settingHasText(Settings::serviceUrl));
}

QPushButton* DVCPreferencesController::saveButton() const {
    return ui_->buttonBox->button(QDialogButtonBox::Save);
}

bool DVCPreferencesController::settingHasText(const QString& key) const {
    return !context_.defaults.stringForKey(key).value_or(QString()).isEmpty();
}

} // namespace dravelo

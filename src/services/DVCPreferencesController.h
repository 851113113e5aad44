#pragma once

#include "base/DVCKeyringItem.h"
#include "platform/desktop/WindowController.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QPushButton;

namespace Ui {
class Preferences;
}

namespace dravelo {

class DVCNotificationCenter;
class DVCWebsocket;
class JobLock;
class UserDefaults;

// What a Preferences window controller is given. Each credential function
// left empty means the desktop's keyring.
struct DVCPreferencesContext {
    UserDefaults& defaults;
    // Makes a server session with the job lock and the notification centre
    // given, for a Save that finds none handed over.
    std::function<std::shared_ptr<DVCWebsocket>(JobLock* jobLock,
                                                std::shared_ptr<DVCNotificationCenter> center)>
        makeSession;
    // Reads the stored credentials.
    std::function<std::optional<DVCKeyringItem>()> readCredentials = {};
    // Stores the credentials; on failure false, with the store's text for
    // it in `failure`.
    std::function<bool(const QString& account, const QString& password, QString* failure)>
        storeCredentials = {};
};

// Runs the window titled "Preferences", made from the form of that name: the
// credentials for the print server (user name, a password shown masked or in
// plain text, Save) and a control for every setting the user may change. The
// settings controls write the settings store as the user changes them; Save
// stores the credentials in the keyring and reconnects the server session so
// that they take effect at once. Use it on the UI thread.
class DVCPreferencesController : public WindowController {
    Q_OBJECT

public:
    explicit DVCPreferencesController(DVCPreferencesContext context, QObject* parent = nullptr);
    ~DVCPreferencesController() override;

    // Save: closes the window first, then stores a non-empty user name with
    // the password and, once stored, disconnects and connects the session.
    void saveCredentials();
    // The reveal toggle: its own state says which password field shows; the
    // text is carried over before the switch.
    void showPassword();

    void setWebsocket(std::shared_ptr<DVCWebsocket> websocket);
    void setLock(JobLock& lock);
    void setNotificationCenter(std::shared_ptr<DVCNotificationCenter> notificationCenter);

    // Runs on every edit of the window's text fields.
    void controlTextDidChange();
    // Save is enabled while the user name, clientName and serviceUrl all
    // hold text; the password plays no part.
    void enableSaveButton();

protected:
    Window* makeWindow() override;
    void windowDidLoad() override;

private:
    void bindSettings();
    void connectActions(Window* window);
    QPushButton* saveButton() const;
    bool settingHasText(const QString& key) const;
    bool storeCredentials(const QString& account, const QString& password);

    DVCPreferencesContext context_;
    std::unique_ptr<Ui::Preferences> ui_;
    JobLock* lock_ = nullptr;
    std::shared_ptr<DVCNotificationCenter> notificationCenter_;
    std::shared_ptr<DVCWebsocket> websocket_;
};

} // namespace dravelo

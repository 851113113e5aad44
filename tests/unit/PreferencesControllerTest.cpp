#include "base/JobLock.h"
#include "support/server/RecordingSession.h"

#include "base/DVCNotificationCenter.h"
#include "services/DVCPreferencesController.h"

#include "platform/core/UserDefaults.h"
#include "platform/desktop/Window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

using dravelo::DVCKeyringItem;
using dravelo::DVCNotificationCenter;
using dravelo::DVCPreferencesContext;
using dravelo::DVCPreferencesController;
using dravelo::UserDefaults;
using dravelo::test::RecordingSession;

namespace {

class RecordingNotifications : public DVCNotificationCenter {
public:
    void sendNotification(const QString& text) override { texts << text; }
    QStringList texts;
};

const QString serverAddress = QStringLiteral("print.example.com:8080");

// A Preferences window over a settings file of its own, a keyring that holds
// `stored` and a session and notification service that record what they get.
class PreferencesControllerTest : public ::testing::Test {
protected:
    ~PreferencesControllerTest() override {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void setSetting(const QString& key, const QString& value) {
        QSettings file(path, QSettings::IniFormat);
        file.setValue(key, value);
    }

    DVCPreferencesController& open(bool handOverSession = true) {
        preferences = std::make_unique<DVCPreferencesController>(DVCPreferencesContext{
            defaults,
            [this](dravelo::JobLock* lock, std::shared_ptr<DVCNotificationCenter> center) {
                // The session is made with what the window was given.
                events << (lock == &jobLock && center == notifications
                               ? QStringLiteral("new session")
                               : QStringLiteral("new session without the lock and centre"));
                return std::make_shared<RecordingSession>(defaults, events);
            },
            [this] { return stored; },
            [this](const QString& account, const QString& password, QString* failure) {
                const bool shown = preferences->window()->isVisible();
                events << QStringLiteral("store %1/%2%3")
                              .arg(account, password,
                                   shown ? QStringLiteral(" with the window open") : QString());
                *failure = refusal;
                return refusal.isEmpty();
            }});
        if (handOverSession) {
            preferences->setWebsocket(std::make_shared<RecordingSession>(defaults, events));
        }
        preferences->setLock(jobLock);
        preferences->setNotificationCenter(notifications);
        preferences->showWindow();
        return *preferences;
    }

    template <typename Control> Control* control(const char* name) {
        auto* found = preferences->window()->findChild<Control*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QLineEdit* field(const char* name) { return control<QLineEdit>(name); }
    QPushButton* saveButton() {
        return control<QDialogButtonBox>("buttonBox")->button(QDialogButtonBox::Save);
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("dravelo.conf"));
    UserDefaults defaults{path};
    std::optional<DVCKeyringItem> stored;
    QString refusal;
    QStringList events;
    dravelo::JobLock jobLock;
    std::shared_ptr<RecordingNotifications> notifications =
        std::make_shared<RecordingNotifications>();
    std::unique_ptr<DVCPreferencesController> preferences;
};

struct SaveButtonCase {
    const char* name;
    const char* account;
    const char* clientName; // nullptr: never set
    const char* serviceUrl;
    const char* password;
    bool enabled;
};

TEST_F(PreferencesControllerTest, SaveIsEnabledExactlyWhenUserNameClientNameAndAddressHoldText) {
    const SaveButtonCase cases[] = {
        {"all three", "alice", "desk-7", "print:80", "secret", true},
        {"no password", "alice", "desk-7", "print:80", "", true},
        {"no user name", "", "desk-7", "print:80", "secret", false},
        {"empty client name", "alice", "", "print:80", "secret", false},
        {"client name never set", "alice", nullptr, "print:80", "secret", false},
        {"empty address", "alice", "desk-7", "", "secret", false},
    };
    for (const SaveButtonCase& c : cases) {
        QFile::remove(path);
        if (c.clientName) {
            setSetting(QStringLiteral("clientName"), QString::fromUtf8(c.clientName));
        }
        setSetting(QStringLiteral("serviceUrl"), QString::fromUtf8(c.serviceUrl));
        stored = DVCKeyringItem(QString::fromUtf8(c.account), QByteArray(c.password));
        open();
        EXPECT_EQ(saveButton()->isEnabled(), c.enabled) << c.name;
    }
}

TEST_F(PreferencesControllerTest, SaveFollowsTypingInTheUserNameAndTheSettings) {
    setSetting(QStringLiteral("serviceUrl"), serverAddress);
    open();
    QTest::keyClicks(field("usernameTextField"), QStringLiteral("alice"));
    EXPECT_FALSE(saveButton()->isEnabled());
    QTest::keyClicks(field("clientNameField"), QStringLiteral("desk"));
    EXPECT_TRUE(saveButton()->isEnabled());
    EXPECT_EQ(defaults.stringForKey(QStringLiteral("clientName")), QStringLiteral("desk"));
    field("serviceUrlField")->selectAll();
    QTest::keyClick(field("serviceUrlField"), Qt::Key_Backspace);
    EXPECT_FALSE(saveButton()->isEnabled());
    EXPECT_EQ(defaults.stringForKey(QStringLiteral("serviceUrl")), QString());
}

struct SaveCase {
    const char* name;
    const char* account; // typed over what the keyring held ("alice"/"old")
    bool handOverSession;
    const char* refusal;
    QStringList events;
    QStringList notifications;
};

TEST_F(PreferencesControllerTest, SaveClosesTheWindowFirstThenStoresAndReconnects) {
    const SaveCase cases[] = {
        {"unchanged credentials still reconnect",
         "alice",
         true,
         "",
         {"store alice/old", "disconnect", "connect"},
         {}},
        {"a session is made when none was handed over",
         "bob",
         false,
         "",
         {"store bob/old", "new session", "disconnect", "connect"},
         {}},
        {"an empty user name stores nothing", "", true, "", {}, {}},
        {"a refusing keyring: no reconnection, and the user is told",
         "alice",
         true,
         "The keyring is locked.",
         {"store alice/old"},
         {"Could not store the credentials: The keyring is locked."}},
    };
    setSetting(QStringLiteral("serviceUrl"), serverAddress);
    setSetting(QStringLiteral("clientName"), QStringLiteral("desk"));
    for (const SaveCase& c : cases) {
        events.clear();
        notifications->texts.clear();
        stored = DVCKeyringItem(QStringLiteral("alice"), QByteArray("old"));
        refusal = QString::fromUtf8(c.refusal);
        open(c.handOverSession);
        field("usernameTextField")->setText(QString::fromUtf8(c.account));
        preferences->saveCredentials();
        EXPECT_FALSE(preferences->window()->isVisible()) << c.name;
        EXPECT_EQ(events, c.events) << c.name;
        EXPECT_EQ(notifications->texts, c.notifications) << c.name;
    }
}

TEST_F(PreferencesControllerTest, TheRevealToggleCarriesEditsBothWaysAndSaveTakesTheVisibleField) {
    setSetting(QStringLiteral("serviceUrl"), serverAddress);
    setSetting(QStringLiteral("clientName"), QStringLiteral("desk"));
    open();
    QLineEdit* masked = field("hidePasswordTextField");
    QLineEdit* plain = field("showPasswordTextField");
    auto* toggle = control<QCheckBox>("showPasswordButton");
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_TRUE(plain->isHidden());

    QTest::keyClicks(field("usernameTextField"), QStringLiteral("carol"));
    QTest::keyClicks(masked, QStringLiteral("abc"));
    toggle->click();
    EXPECT_EQ(plain->text(), QStringLiteral("abc"));
    EXPECT_TRUE(masked->isHidden());
    EXPECT_FALSE(plain->isHidden());

    QTest::keyClicks(plain, QStringLiteral("def"));
    toggle->click();
    EXPECT_EQ(masked->text(), QStringLiteral("abcdef"));
    EXPECT_TRUE(plain->isHidden());

    toggle->click();
    QTest::keyClicks(plain, QStringLiteral("!"));
    saveButton()->click();
    EXPECT_EQ(events.value(0), QStringLiteral("store carol/abcdef!"));
}

struct LoadCase {
    const char* name;
    std::optional<DVCKeyringItem> item;
    QString account;
    QString password;
};

TEST_F(PreferencesControllerTest, LoadingPutsTheStoredPasswordIntoBothFieldsWhenItIsUtf8) {
    const LoadCase cases[] = {
        {"nothing stored", std::nullopt, QString(), QString()},
        {"text beyond ASCII", DVCKeyringItem(QStringLiteral("dave"), QByteArray("p\xc3\xa4ss")),
         QStringLiteral("dave"), QStringLiteral("päss")},
        {"bytes that are not UTF-8", DVCKeyringItem(QStringLiteral("erin"), QByteArray("\xff\xfe")),
         QStringLiteral("erin"), QString()},
        {"an item without account", DVCKeyringItem(std::nullopt, QByteArray("pw")), QString(),
         QStringLiteral("pw")},
    };
    for (const LoadCase& c : cases) {
        stored = c.item;
        open();
        EXPECT_EQ(field("usernameTextField")->text(), c.account) << c.name;
        EXPECT_EQ(field("hidePasswordTextField")->text(), c.password) << c.name;
        EXPECT_EQ(field("showPasswordTextField")->text(), c.password) << c.name;
    }
}

TEST_F(PreferencesControllerTest, TheKeyboardStartsAtTheUserNameAndReturnSavesFromAnyControl) {
    setSetting(QStringLiteral("serviceUrl"), serverAddress);
    setSetting(QStringLiteral("clientName"), QStringLiteral("desk"));
    open();
    dravelo::Window* window = preferences->window();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    EXPECT_EQ(QApplication::focusWidget(), field("usernameTextField"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), field("hidePasswordTextField"));

    // Without a user name Save is disabled, and so is Return.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(events.isEmpty());
    EXPECT_TRUE(window->isVisible());

    field("usernameTextField")->setFocus();
    QTest::keyClicks(field("usernameTextField"), QStringLiteral("frank"));
    control<QCheckBox>("enableClipboardBox")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(events, (QStringList{QStringLiteral("store frank/"), QStringLiteral("disconnect"),
                                   QStringLiteral("connect")}));
    EXPECT_FALSE(window->isVisible());
}

} // namespace

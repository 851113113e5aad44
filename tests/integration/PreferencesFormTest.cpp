#include "support/ControllerHarness.h"
#include "support/LogRecorder.h"
#include "support/server/RecordingSession.h"

#include "services/DVCPreferencesController.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QTest>

#include <functional>
#include <memory>

using dravelo::DVCPreferencesContext;
using dravelo::DVCPreferencesController;
using dravelo::UserDefaults;
using dravelo::test::ControllerHarness;
using dravelo::test::LogRecorder;
using dravelo::test::RecordingSession;

namespace {

// The Preferences window over the settings the client registers at start,
// with an empty keyring.
class PreferencesForm : public ::testing::Test {
protected:
    PreferencesForm() { h.controller().setupUserDefaults(); }

    DVCPreferencesController& open(UserDefaults& defaults) {
        preferences = std::make_unique<DVCPreferencesController>(DVCPreferencesContext{
            defaults,
            [this, &defaults](dravelo::JobLock*, std::shared_ptr<dravelo::DVCNotificationCenter>) {
                return std::make_shared<RecordingSession>(defaults, events);
            },
            [] { return std::nullopt; }});
        preferences->showWindow();
        return *preferences;
    }

    template <typename Control> Control* control(const QString& name) {
        auto* found = preferences->window()->findChild<Control*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }

    // What the settings file holds under the key, as another program reads it.
    QString inFile(const QString& key) {
        return QSettings(h.settingsFile(), QSettings::IniFormat).value(key).toString();
    }

    ControllerHarness h{ControllerHarness::Intake::AsConfigured};
    QStringList events;
    std::unique_ptr<DVCPreferencesController> preferences;
};

void pick(QComboBox* list, int steps) {
    for (int i = 0; i < steps; ++i) {
        QTest::keyClick(list, Qt::Key_Down);
    }
}

struct ControlCase {
    QString key;
    QString control;
    QString shownAtFirst;
    std::function<void(QWidget*)> change;
    QString written;
};

TEST_F(PreferencesForm, EveryUserSettingHasAControlThatWritesTheSettingsFile) {
    const auto type = [](const char* text) {
        return [text](QWidget* field) { QTest::keyClicks(field, QString::fromUtf8(text)); };
    };
    const auto down = [](int steps) {
        return [steps](QWidget* list) { pick(static_cast<QComboBox*>(list), steps); };
    };
    const auto click = [](QWidget* box) { static_cast<QCheckBox*>(box)->click(); };
    const ControlCase cases[] = {
        {"serviceUrl", "serviceUrlField", "", type("print.example.com:8080"),
         "print.example.com:8080"},
        {"clientName", "clientNameField", "", type("Desk, 2nd floor"), "Desk, 2nd floor"},
        {"actionPrintJob", "actionPrintJobList", "Show it in a job window", down(2),
         "Open In Mac Preview"},
        {"notificationPrintJob", "notificationPrintJobList", "Once", down(3), "None"},
        {"printingAction", "printingActionList", "Keep the job window open", down(1),
         "Hide Document"},
        {"rememberCredentials", "rememberCredentialsBox", "off", click, "yes"},
        {"enableDriveMap", "enableDriveMapBox", "on", click, "no"},
        {"enableClipboard", "enableClipboardBox", "on", click, "no"},
    };
    open(h.defaults());
    for (const ControlCase& c : cases) {
        auto* widget = control<QWidget>(c.control);
        ASSERT_NE(widget, nullptr);
        QString shown;
        if (auto* field = qobject_cast<QLineEdit*>(widget)) {
            shown = field->text();
        } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
            shown = list->currentText();
        } else {
            shown = static_cast<QCheckBox*>(widget)->isChecked() ? "on" : "off";
        }
        EXPECT_EQ(shown, c.shownAtFirst) << c.key.toStdString();
        c.change(widget);
        EXPECT_EQ(inFile(c.key), c.written) << c.key.toStdString();
        EXPECT_EQ(h.defaults().stringForKey(c.key), c.written) << c.key.toStdString();
    }
    // Nothing else went into the file: registered defaults stay in memory.
    EXPECT_FALSE(QSettings(h.settingsFile(), QSettings::IniFormat).contains("defaultSet"));
}

TEST_F(PreferencesForm, AValueNoChoiceOffersIsShownAndKeptUntilAnotherIsPicked) {
    h.setSetting(QStringLiteral("actionPrintJob"), QStringLiteral("print twice"));
    open(h.defaults());
    auto* list = control<QComboBox>(QStringLiteral("actionPrintJobList"));
    EXPECT_EQ(list->currentText(), QStringLiteral("print twice"));
    control<QCheckBox>(QStringLiteral("enableDriveMapBox"))->click();
    EXPECT_EQ(inFile(QStringLiteral("actionPrintJob")), QStringLiteral("print twice"));

    list->setFocus();
    QTest::keyClick(list, Qt::Key_Home);
    EXPECT_EQ(inFile(QStringLiteral("actionPrintJob")), QStringLiteral("Preview print job"));
}

TEST_F(PreferencesForm, AnUnwritableSettingsFileIsLoggedAndTheControlsShowWhatItHolds) {
    // A settings file whose folder cannot exist: not even root writes it.
    QFile blocker(h.root_.filePath(QStringLiteral("config")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString path = blocker.fileName() + QStringLiteral("/dravelo.conf");
    UserDefaults unwritable(path);
    unwritable.registerDefaults({{QStringLiteral("enableClipboard"), QStringLiteral("yes")}});
    open(unwritable);
    LogRecorder log;

    auto* box = control<QCheckBox>(QStringLiteral("enableClipboardBox"));
    box->click();
    EXPECT_TRUE(box->isChecked());
    auto* field = control<QLineEdit>(QStringLiteral("clientNameField"));
    QTest::keyClicks(field, QStringLiteral("d"));
    EXPECT_EQ(field->text(), QString());

    EXPECT_EQ(log.lines(),
              (QStringList{QStringLiteral("Could not write the setting enableClipboard to ") + path,
                           QStringLiteral("Could not write the setting clientName to ") + path}));
}

} // namespace

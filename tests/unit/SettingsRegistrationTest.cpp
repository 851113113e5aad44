#include "support/ControllerHarness.h"

#include <gtest/gtest.h>

#include <QSettings>

using dravelo::test::ControllerHarness;

namespace {

TEST(SettingsRegistration, AUserWithoutSettingsGetsTheDefaults) {
    ControllerHarness h(ControllerHarness::Intake::AsConfigured);
    h.controller().setupUserDefaults();
    auto& d = h.defaults();
    EXPECT_EQ(d.stringForKey(QStringLiteral("serviceUrl")), QString());
    EXPECT_EQ(d.stringForKey(QStringLiteral("clientName")), std::nullopt);
    EXPECT_EQ(d.stringForKey(QStringLiteral("actionPrintJob")),
              QStringLiteral("Preview print job"));
    EXPECT_EQ(d.stringForKey(QStringLiteral("notificationPrintJob")),
              QStringLiteral("Single Notification"));
    EXPECT_EQ(d.stringForKey(QStringLiteral("printingAction")), QStringLiteral("No Action"));
    EXPECT_EQ(d.stringForKey(QStringLiteral("defaultSet")), QStringLiteral("yes"));
    EXPECT_TRUE(d.boolForKey(QStringLiteral("enableDriveMap")));
    EXPECT_TRUE(d.boolForKey(QStringLiteral("enableClipboard")));
    EXPECT_FALSE(d.boolForKey(QStringLiteral("rememberCredentials")));
    EXPECT_FALSE(d.boolForKey(QStringLiteral("ssl")));
    // Registration writes nothing but the recent-documents limit.
    QSettings file(h.settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(file.allKeys(), QStringList{QStringLiteral("NSRecentDocumentsLimit")});
}

TEST(SettingsRegistration, TheRecentDocumentsLimitIsZeroAfterEveryStart) {
    ControllerHarness h(ControllerHarness::Intake::AsConfigured);
    h.setSetting(QStringLiteral("NSRecentDocumentsLimit"), QStringLiteral("7"));
    h.setSetting(QStringLiteral("defaultsSet"), QStringLiteral("anything"));
    h.controller().setupUserDefaults();
    QSettings file(h.settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(file.value(QStringLiteral("NSRecentDocumentsLimit")).toInt(), 0);
}

TEST(SettingsRegistration, AValueUnderDefaultsSetSuppressesEveryDefault) {
    ControllerHarness h(ControllerHarness::Intake::AsConfigured);
    h.setSetting(QStringLiteral("defaultsSet"), QStringLiteral("1"));
    h.controller().setupUserDefaults();
    auto& d = h.defaults();
    EXPECT_FALSE(d.boolForKey(QStringLiteral("enableDriveMap")));
    EXPECT_FALSE(d.boolForKey(QStringLiteral("enableClipboard")));
    EXPECT_EQ(d.stringForKey(QStringLiteral("actionPrintJob")), std::nullopt);
    EXPECT_EQ(d.stringForKey(QStringLiteral("serviceUrl")), std::nullopt);
}

TEST(SettingsRegistration, StoredValuesWinAndDefaultSetChangesNothing) {
    ControllerHarness h(ControllerHarness::Intake::AsConfigured);
    h.setSetting(QStringLiteral("defaultSet"), QStringLiteral("no"));
    h.setSetting(QStringLiteral("enableClipboard"), QStringLiteral("no"));
    h.setSetting(QStringLiteral("actionPrintJob"), QStringLiteral("Print directly to printer"));
    h.controller().setupUserDefaults();
    auto& d = h.defaults();
    EXPECT_FALSE(d.boolForKey(QStringLiteral("enableClipboard")));
    EXPECT_TRUE(d.boolForKey(QStringLiteral("enableDriveMap")));
    EXPECT_EQ(d.stringForKey(QStringLiteral("actionPrintJob")),
              QStringLiteral("Print directly to printer"));
}

} // namespace

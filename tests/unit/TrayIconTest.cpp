#include "platform/desktop/TrayIcon.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>

using dravelo::TrayIcon;

namespace {

TEST(TrayIcon, ALeftClickOpensTheMenuWhoseCommandsRun) {
    QStringList ran;
    TrayIcon tray(QIcon(), QStringLiteral("Dravelo Client"),
                  {{QStringLiteral("Connect"), [&ran] { ran << QStringLiteral("Connect"); }},
                   {QStringLiteral("Quit"), [&ran] { ran << QStringLiteral("Quit"); }}});
    auto* icon = tray.findChild<QSystemTrayIcon*>();
    ASSERT_NE(icon, nullptr);
    QMenu* menu = icon->contextMenu();
    ASSERT_NE(menu, nullptr);

    Q_EMIT icon->activated(QSystemTrayIcon::MiddleClick);
    EXPECT_FALSE(menu->isVisible());
    Q_EMIT icon->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(menu->isVisible());

    menu->actions().at(1)->trigger();
    menu->close();
    EXPECT_EQ(ran, QStringList{QStringLiteral("Quit")});
}

TEST(TrayIcon, ADimmedIconIsTheGivenOneGreyed) {
    QPixmap red(16, 16);
    red.fill(Qt::red);
    TrayIcon tray(QIcon(red), QStringLiteral("Dravelo Client"), {});
    const auto* icon = tray.findChild<QSystemTrayIcon*>();
    const auto shown = [icon] { return icon->icon().pixmap(16).toImage().pixelColor(8, 8); };

    tray.setDimmed(true);
    EXPECT_EQ(shown().hsvSaturation(), 0);
    tray.setDimmed(false);
    EXPECT_EQ(shown(), QColor(Qt::red));
}

} // namespace

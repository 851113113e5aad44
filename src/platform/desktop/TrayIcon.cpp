#include "platform/desktop/TrayIcon.h"

#include "platform/core/Log.h"
#include "platform/desktop/UserActivation.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QSystemTrayIcon>

namespace dravelo {
namespace {

// The icon as the style draws it disabled, at the sizes trays ask for.
QIcon greyed(const QIcon& icon) {
    QIcon result;
    for (const int side : {16, 22, 24, 32, 48, 64}) {
        result.addPixmap(icon.pixmap(QSize(side, side), QIcon::Disabled));
    }
    return result;
}

} // namespace

TrayIcon::TrayIcon(const QIcon& icon, const QString& toolTip, const QList<Command>& commands,
                   QObject* parent)
    : QObject(parent)
    , plain_(icon)
    , dimmed_(greyed(icon))
    , menu_(new QMenu)
    , icon_(new QSystemTrayIcon(icon, this)) {
    for (const Command& command : commands) {
        // A command chosen from the tray is the user's: the windows it brings
        // up take the focus.
        menu_->addAction(command.title, this, [action = command.action] {
            const UserActivation asked;
            action();
        });
    }
    icon_->setToolTip(toolTip);
    icon_->setContextMenu(menu_);
    // A right click opens the menu through Qt; a left click opens it here,
    // as a tray icon with nothing else to show does on Linux desktops.
    QObject::connect(icon_, &QSystemTrayIcon::activated, this,
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::Trigger) {
                             menu_->popup(QCursor::pos());
                         }
                     });
}

TrayIcon::~TrayIcon() {
    delete menu_;
}

bool TrayIcon::show() {
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        icon_->show();
        return true;
    }
    // At login the client may start before the panel that holds the tray. On
    // X11, Qt puts an icon that is shown into a tray that appears later.
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        icon_->show();
        log(QStringLiteral("No system tray on this desktop yet; the tray icon appears when one "
                           "starts."));
        return false;
    }
    log(QStringLiteral("No system tray on this desktop; the client runs without a tray icon."));
    return false;
}

void TrayIcon::setToolTip(const QString& toolTip) {
    icon_->setToolTip(toolTip);
}

void TrayIcon::setDimmed(bool dimmed) {
    icon_->setIcon(dimmed ? dimmed_ : plain_);
}

bool TrayIcon::showMessage(const QString& title, const QString& body) {
    if (!icon_->isVisible() || !QSystemTrayIcon::isSystemTrayAvailable() ||
        !QSystemTrayIcon::supportsMessages()) {
        return false;
    }
    icon_->showMessage(title, body, QSystemTrayIcon::Information);
    return true;
}

} // namespace dravelo

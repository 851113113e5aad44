#include "platform/desktop/TrayIcon.h"

#include "platform/core/Log.h"

#include <QMenu>
#include <QSystemTrayIcon>

namespace dravelo {

TrayIcon::TrayIcon(const QIcon& icon, const QString& toolTip, const QList<Command>& commands,
                   QObject* parent)
    : QObject(parent)
    , menu_(new QMenu)
    , icon_(new QSystemTrayIcon(icon, this)) {
    for (const Command& command : commands) {
        menu_->addAction(command.title, this, command.action);
    }
    icon_->setToolTip(toolTip);
    icon_->setContextMenu(menu_);
}

TrayIcon::~TrayIcon() {
    delete menu_;
}

bool TrayIcon::show() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        log(QStringLiteral("No system tray on this desktop; the client runs without a tray icon."));
        return false;
    }
    icon_->show();
    return true;
}

void TrayIcon::setToolTip(const QString& toolTip) {
    icon_->setToolTip(toolTip);
}

bool TrayIcon::showMessage(const QString& title, const QString& body) {
    if (!icon_->isVisible() || !QSystemTrayIcon::supportsMessages()) {
        return false;
    }
    icon_->showMessage(title, body, QSystemTrayIcon::Information);
    return true;
}

} // namespace dravelo

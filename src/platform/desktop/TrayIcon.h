#pragma once

#include <QIcon>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QMenu;
class QSystemTrayIcon;

namespace dravelo {

// The client's icon in the system tray, whose menu carries the client's
// commands, and the tray's message balloon.
class TrayIcon : public QObject {
    Q_OBJECT

public:
    struct Command {
        QString title;
        std::function<void()> action;
    };

    TrayIcon(const QIcon& icon, const QString& toolTip, const QList<Command>& commands,
             QObject* parent = nullptr);
    ~TrayIcon() override;

    // Shows the icon when the desktop has a system tray (true); on X11 without
    // one yet, as soon as one appears (false).
    bool show();

    void setToolTip(const QString& toolTip);
    // Shows the icon greyed, as the desktop shows what is unavailable, or as
    // it was given.
    void setDimmed(bool dimmed);

    // Shows a message from the icon; false when there is no tray to show it.
    bool showMessage(const QString& title, const QString& body);

private:
    QIcon plain_;
    QIcon dimmed_;
    QMenu* menu_;
    QSystemTrayIcon* icon_;
};

} // namespace dravelo

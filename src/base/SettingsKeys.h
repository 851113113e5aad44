#pragma once

#include <QString>

namespace dravelo::SettingsKeys {

inline const QString serviceUrl = QStringLiteral("serviceUrl");
inline const QString clientName = QStringLiteral("clientName");
inline const QString actionPrintJob = QStringLiteral("actionPrintJob");
inline const QString notificationPrintJob = QStringLiteral("notificationPrintJob");
inline const QString printingAction = QStringLiteral("printingAction");
inline const QString rememberCredentials = QStringLiteral("rememberCredentials");
inline const QString ssl = QStringLiteral("ssl");
inline const QString enableDriveMap = QStringLiteral("enableDriveMap");
inline const QString enableClipboard = QStringLiteral("enableClipboard");
inline const QString defaultSet = QStringLiteral("defaultSet");
inline const QString defaultsSet = QStringLiteral("defaultsSet");
inline const QString recentDocumentsLimit = QStringLiteral("NSRecentDocumentsLimit");

// Values of actionPrintJob that job dispatch tells apart; every other value
// opens the job in a document window.
inline const QString previewPrintJob = QStringLiteral("Preview print job");
inline const QString printDirectly = QStringLiteral("Print directly to printer");
inline const QString openInViewer = QStringLiteral("Open In Mac Preview");
inline const QString printDialogOnly = QStringLiteral("Display print dialog only");

// Values of notificationPrintJob that document windows tell apart.
inline const QString singleNotification = QStringLiteral("Single Notification");
inline const QString bringToFront = QStringLiteral("Bring To Front");
inline const QString infiniteNotification = QStringLiteral("Infinite Notification");
inline const QString noNotification = QStringLiteral("None");

// Values of printingAction; only hideDocument changes anything.
inline const QString noAction = QStringLiteral("No Action");
inline const QString hideDocument = QStringLiteral("Hide Document");

} // namespace dravelo::SettingsKeys

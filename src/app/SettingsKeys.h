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
inline const QString printDirectly = QStringLiteral("Print directly to printer");
inline const QString openInViewer = QStringLiteral("Open In Mac Preview");

} // namespace dravelo::SettingsKeys

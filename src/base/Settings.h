#pragma once

#include <QMap>
#include <QString>

#include <optional>

namespace dravelo {

class UserDefaults;

// What job dispatch does with a job (actionPrintJob). Every value not told
// apart here opens the job in a job window, as PreviewPrintJob does.
enum class PrintJobAction {
    PreviewPrintJob,
    PrintDirectlyToPrinter,
    OpenInMacPreview,
    DisplayPrintDialogOnly
};
// How a job window asks for the user's attention (notificationPrintJob).
// Any other value asks for none.
enum class JobNotification { SingleNotification, BringToFront, InfiniteNotification, None };
// What a print from a job window does to it (printingAction). Any other
// value does nothing.
enum class PrintingAction { NoAction, HideDocument };

// The client's settings: the keys of the settings store, the defaults
// registered for them, and the values of the choice settings that the client
// tells apart, each spelled once here as the settings file holds it. Settings
// are read at the moment of use and never kept.
class Settings {
public:
    static inline const QString serviceUrl = QStringLiteral("serviceUrl");
    static inline const QString clientName = QStringLiteral("clientName");
    static inline const QString actionPrintJob = QStringLiteral("actionPrintJob");
    static inline const QString notificationPrintJob = QStringLiteral("notificationPrintJob");
    static inline const QString printingAction = QStringLiteral("printingAction");
    static inline const QString rememberCredentials = QStringLiteral("rememberCredentials");
    static inline const QString ssl = QStringLiteral("ssl");
    static inline const QString enableDriveMap = QStringLiteral("enableDriveMap");
    static inline const QString enableClipboard = QStringLiteral("enableClipboard");
    static inline const QString recentDocumentsLimit = QStringLiteral("NSRecentDocumentsLimit");
    // Registered with the other defaults, and read by nobody.
    static inline const QString registeredMarker = QStringLiteral("defaultSet");
    // Tested before the defaults are registered: when the store holds any
    // value under it, none are. Nothing of the client writes it.
    static inline const QString registrationSuppressor = QStringLiteral("defaultsSet");

    // A choice as the settings file spells it.
    static QString spelling(PrintJobAction value);
    static QString spelling(JobNotification value);
    static QString spelling(PrintingAction value);

    // The choice the store holds; nothing for a missing key or a value that
    // is not told apart (compared exactly, letter case included).
    static std::optional<PrintJobAction> readPrintJobAction(UserDefaults& defaults);
    static std::optional<JobNotification> readJobNotification(UserDefaults& defaults);
    static std::optional<PrintingAction> readPrintingAction(UserDefaults& defaults);

    // The defaults registered at start, key and value.
    static QMap<QString, QString> registeredDefaults();
};

} // namespace dravelo

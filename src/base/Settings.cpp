#include "base/Settings.h"

#include "platform/core/UserDefaults.h"

#include <algorithm>
#include <array>
#include <utility>

namespace dravelo {
namespace {

template <typename Choice, std::size_t count>
using Spellings = std::array<std::pair<Choice, const char16_t*>, count>;

constexpr Spellings<PrintJobAction, 4> printJobActions{{
    {PrintJobAction::PreviewPrintJob, u"Preview print job"},
    {PrintJobAction::PrintDirectlyToPrinter, u"Print directly to printer"},
    {PrintJobAction::OpenInMacPreview, u"Open In Mac Preview"},
    {PrintJobAction::DisplayPrintDialogOnly, u"Display print dialog only"},
}};

constexpr Spellings<JobNotification, 4> jobNotifications{{
    {JobNotification::SingleNotification, u"Single Notification"},
    {JobNotification::BringToFront, u"Bring To Front"},
    {JobNotification::InfiniteNotification, u"Infinite Notification"},
    {JobNotification::None, u"None"},
}};

constexpr Spellings<PrintingAction, 2> printingActions{{
    {PrintingAction::NoAction, u"No Action"},
    {PrintingAction::HideDocument, u"Hide Document"},
}};

template <typename Table, typename Choice> QString spellingIn(const Table& table, Choice value) {
    const auto found = std::find_if(table.begin(), table.end(),
                                    [value](const auto& entry) { return entry.first == value; });
    return QString::fromUtf16(found->second);
}

template <typename Table>
auto choiceIn(const Table& table, UserDefaults& defaults, const QString& key)
    -> std::optional<typename Table::value_type::first_type> {
    const std::optional<QString> stored = defaults.stringForKey(key);
    if (!stored) {
        return std::nullopt;
    }
    for (const auto& [value, spelling] : table) {
        if (*stored == QStringView(spelling)) {
            return value;
        }
    }
    return std::nullopt;
}

} // namespace

QString Settings::spelling(PrintJobAction value) {
    return spellingIn(printJobActions, value);
}

QString Settings::spelling(JobNotification value) {
    return spellingIn(jobNotifications, value);
}

QString Settings::spelling(PrintingAction value) {
    return spellingIn(printingActions, value);
}

std::optional<PrintJobAction> Settings::readPrintJobAction(UserDefaults& defaults) {
    return choiceIn(printJobActions, defaults, actionPrintJob);
}

std::optional<JobNotification> Settings::readJobNotification(UserDefaults& defaults) {
    return choiceIn(jobNotifications, defaults, notificationPrintJob);
}

std::optional<PrintingAction> Settings::readPrintingAction(UserDefaults& defaults) {
    return choiceIn(printingActions, defaults, printingAction);
}

QMap<QString, QString> Settings::registeredDefaults() {
    return {
        {serviceUrl, QString()},
        {actionPrintJob, spelling(PrintJobAction::PreviewPrintJob)},
        {notificationPrintJob, spelling(JobNotification::SingleNotification)},
        {printingAction, spelling(PrintingAction::NoAction)},
        {rememberCredentials, QStringLiteral("no")},
        {ssl, QStringLiteral("no")},
        {enableDriveMap, QStringLiteral("yes")},
        {enableClipboard, QStringLiteral("yes")},
        {registeredMarker, QStringLiteral("yes")},
    };
}

} // namespace dravelo

// Registration of the settings and their defaults.
#include "app/DVCDraveloController.h"

#include "base/SettingsKeys.h"
#include "platform/core/UserDefaults.h"

namespace dravelo {

void DVCDraveloController::setupUserDefaults() {
    UserDefaults& defaults = context_.defaults;
    const bool alreadySet = defaults.stringForKey(SettingsKeys::defaultsSet).has_value();

    // The recent-documents list is kept empty: job files are deleted once
    // handled, so entries would only point at nothing.
    defaults.setInteger(SettingsKeys::recentDocumentsLimit, 0);
    defaults.synchronize();
    if (alreadySet) {
        return;
    }
    defaults.registerDefaults({
        {SettingsKeys::serviceUrl, QString()},
        {SettingsKeys::actionPrintJob, SettingsKeys::previewPrintJob},
        {SettingsKeys::notificationPrintJob, SettingsKeys::singleNotification},
        {SettingsKeys::printingAction, SettingsKeys::noAction},
        {SettingsKeys::rememberCredentials, QStringLiteral("no")},
        {SettingsKeys::ssl, QStringLiteral("no")},
        {SettingsKeys::enableDriveMap, QStringLiteral("yes")},
        {SettingsKeys::enableClipboard, QStringLiteral("yes")},
        {SettingsKeys::defaultSet, QStringLiteral("yes")},
    });
    defaults.synchronize();
}

} // namespace dravelo

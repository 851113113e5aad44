#include "documents/MyNSApplication.h"

#include "base/SettingsKeys.h"
#include "platform/core/UserDefaults.h"

namespace dravelo {

MyNSApplication::MyNSApplication(int& argc, char** argv)
    : Application(argc, argv) {}

int MyNSApplication::requestUserAttention(Request request) {
    if (defaults_ &&
        defaults_->stringForKey(SettingsKeys::notificationPrintJob) == QStringLiteral("None")) {
        return 0;
    }
    return Application::requestUserAttention(request);
}

} // namespace dravelo

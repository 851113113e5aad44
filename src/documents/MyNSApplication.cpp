#include "documents/MyNSApplication.h"

#include "base/Settings.h"
#include "platform/core/UserDefaults.h"

namespace dravelo {

MyNSApplication::MyNSApplication(int& argc, char** argv)
    : Application(argc, argv) {}

int MyNSApplication::requestUserAttention(Request request) {
    if (defaults_ && Settings::readJobNotification(*defaults_) == JobNotification::None) {
        return 0;
    }
    return Application::requestUserAttention(request);
}

} // namespace dravelo

#include "platform/desktop/Application.h"

namespace dravelo {

Application::Application(int& argc, char** argv)
    : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("dravelo"));
    setApplicationDisplayName(QStringLiteral("Dravelo Client"));
    setDesktopFileName(QStringLiteral("dravelo"));
    setQuitOnLastWindowClosed(false);
}

} // namespace dravelo

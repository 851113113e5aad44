#include "platform/desktop/DesktopWorkspace.h"

#include "platform/core/Log.h"

#include <QStandardPaths>

namespace dravelo {

DesktopWorkspace::DesktopWorkspace(TaskRunner& tasks)
    : tasks_(tasks) {}

bool DesktopWorkspace::openFile(const QString& path) {
    static const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        log(QStringLiteral("Cannot open %1: xdg-open is not installed.").arg(path));
        return false;
    }
    if (!tasks_.launch(opener, {path})) {
        log(QStringLiteral("Cannot open %1: xdg-open did not start.").arg(path));
        return false;
    }
    return true;
}

} // namespace dravelo

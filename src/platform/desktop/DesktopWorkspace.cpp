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
    // A failure of xdg-open itself (no application for the file, none that
    // starts) is logged by the task runner with xdg-open's own words.
    return tasks_.launch(opener, {path});
}

} // namespace dravelo

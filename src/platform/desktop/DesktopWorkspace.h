#pragma once

#include "platform/desktop/Workspace.h"
#include "platform/process/TaskRunner.h"

namespace dravelo {

// Opens files with the desktop's default application through xdg-open.
class DesktopWorkspace : public Workspace {
public:
    explicit DesktopWorkspace(TaskRunner& tasks);

    bool openFile(const QString& path) override;

private:
    TaskRunner& tasks_;
};

} // namespace dravelo

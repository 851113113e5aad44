#pragma once

#include "platform/TaskRunner.h"
#include "platform/Workspace.h"

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

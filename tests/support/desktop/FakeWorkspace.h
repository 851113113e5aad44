#pragma once

#include "platform/desktop/Workspace.h"

#include <QStringList>

#include <functional>
#include <mutex>

namespace dravelo::test {

// Records the files it is asked to open.
class FakeWorkspace : public Workspace {
public:
    bool openFile(const QString& path) override;

    QStringList openedFiles() const;
    // Runs when a file is opened, to look at it while it exists.
    void onOpen(std::function<void(const QString&)> hook) { hook_ = std::move(hook); }

private:
    mutable std::mutex mutex_;
    QStringList opened_;
    std::function<void(const QString&)> hook_;
};

} // namespace dravelo::test

#include "support/desktop/FakeWorkspace.h"

namespace dravelo::test {

bool FakeWorkspace::openFile(const QString& path) {
    {
        std::lock_guard lock(mutex_);
        opened_ << path;
    }
    if (hook_) {
        hook_(path);
    }
    return true;
}

QStringList FakeWorkspace::openedFiles() const {
    std::lock_guard lock(mutex_);
    return opened_;
}

} // namespace dravelo::test

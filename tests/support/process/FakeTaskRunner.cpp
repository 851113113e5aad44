#include "support/process/FakeTaskRunner.h"

namespace dravelo::test {

TaskResult FakeTaskRunner::run(const QString& program, const QStringList& arguments,
                               std::chrono::milliseconds timeout) {
    const Call call{program, arguments, true, timeout};
    {
        std::lock_guard lock(mutex_);
        calls_.append(call);
    }
    if (hook_) {
        hook_(call);
    }
    return result_;
}

bool FakeTaskRunner::launch(const QString& program, const QStringList& arguments) {
    std::lock_guard lock(mutex_);
    calls_.append({program, arguments, false, {}});
    return true;
}

void FakeTaskRunner::cutShort(std::chrono::milliseconds grace) {
    std::lock_guard lock(mutex_);
    cuts_.append(grace);
}

QList<std::chrono::milliseconds> FakeTaskRunner::cuts() const {
    std::lock_guard lock(mutex_);
    return cuts_;
}

QList<FakeTaskRunner::Call> FakeTaskRunner::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

} // namespace dravelo::test

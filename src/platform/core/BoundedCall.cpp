#include "platform/core/BoundedCall.h"

#include <algorithm>
#include <memory>
#include <system_error>
#include <thread>

namespace dravelo {

bool BoundedCall::run(Work work, std::chrono::milliseconds limit) {
    // Shared with the thread, so a call that outlives the wait still finds its
    // state when it ends.
    auto call = std::make_shared<BoundedCall>(limit);
    try {
        std::thread([call, work = std::move(work)] {
            work(*call);
            call->finish();
        }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    return call->waitForFinish();
}

BoundedCall::BoundedCall(std::chrono::milliseconds limit)
    : deadline_(Clock::now() + limit) {}

void BoundedCall::extendBy(std::chrono::milliseconds more) {
    std::lock_guard lock(mutex_);
    deadline_ = std::max(deadline_, Clock::now() + more);
    changed_.notify_all();
}

void BoundedCall::finish() {
    std::lock_guard lock(mutex_);
    finished_ = true;
    changed_.notify_all();
}

bool BoundedCall::waitForFinish() {
    std::unique_lock lock(mutex_);
    while (!finished_) {
        const Clock::time_point until = deadline_;
        if (Clock::now() >= until) {
            return false;
        }
        changed_.wait_until(lock, until);
    }
    return true;
}

} // namespace dravelo

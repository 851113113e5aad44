#include "base/JobLock.h"

#include <thread>

namespace dravelo {

bool JobLock::lockUnless(const std::function<bool()>& givingUp) {
    while (!try_lock()) {
        if (givingUp()) {
            return false;
        }
        std::this_thread::sleep_for(pollInterval);
    }
    return true;
}

} // namespace dravelo

#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace dravelo {

// Runs one piece of work on a thread of its own and waits for it until a
// deadline. The work may push the deadline out while it waits on something
// known to take long, such as a person answering an unlock prompt.
//
// Work that misses its deadline runs on to its end on its thread: it must own
// everything it touches (capture by value or by shared pointer), and the
// waiter must not read what it writes after the wait gave up.
class BoundedCall {
public:
    using Clock = std::chrono::steady_clock;
    using Work = std::function<void(BoundedCall& call)>;

    // True when the work finished within the limit (or within the later
    // deadline it asked for); false when the wait gave up or no thread could
    // be started.
    static bool run(Work work, std::chrono::milliseconds limit);

    explicit BoundedCall(std::chrono::milliseconds limit);

    // Called from the work: wait at least `more` from now.
    void extendBy(std::chrono::milliseconds more);

private:
    void finish();
    bool waitForFinish();

    std::mutex mutex_;
    std::condition_variable changed_;
    Clock::time_point deadline_;
    bool finished_ = false;
};

} // namespace dravelo

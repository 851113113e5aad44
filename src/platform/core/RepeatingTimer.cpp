#include "platform/core/RepeatingTimer.h"

#include <sys/prctl.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace dravelo {

// The state of one started run, shared with its thread so that a thread left
// to finish on its own (cancelled from within its handler) never touches a
// destroyed timer.
struct RepeatingTimer::Run {
    std::chrono::nanoseconds interval;
    std::chrono::nanoseconds leeway;
    Handler handler;
    std::mutex mutex;
    std::condition_variable wake;
    bool cancelled = false;
};

namespace {

using Clock = std::chrono::steady_clock;

// Lets the kernel defer this thread's timed waits by up to the leeway, so the
// wake-up can share a slot with others.
void allowLateWakeUps(std::chrono::nanoseconds leeway) {
    if (leeway.count() > 0) {
        prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(leeway.count()), 0, 0, 0);
    }
}

// When the next event is due: its grid point if that is still ahead;
// otherwise the last grid point already passed, so that all events missed
// while the handler ran make one event, delivered at once, and the event after
// it keeps to the grid.
Clock::time_point nextDue(Clock::time_point previous, Clock::time_point now,
                          std::chrono::nanoseconds interval) {
    const Clock::time_point next = previous + interval;
    if (next > now) {
        return next;
    }
    return next + ((now - next) / interval) * interval;
}

} // namespace

RepeatingTimer::RepeatingTimer(std::chrono::nanoseconds interval, std::chrono::nanoseconds leeway,
                               Handler handler)
    : interval_(std::max(interval, std::chrono::nanoseconds(1)))
    , leeway_(leeway)
    , handler_(std::move(handler)) {}

RepeatingTimer::~RepeatingTimer() {
    cancel();
}

void RepeatingTimer::start() {
    cancel();
    auto run = std::make_shared<Run>();
    run->interval = interval_;
    run->leeway = leeway_;
    run->handler = handler_;
    thread_ = std::thread([run] { deliverEvents(*run); });
    run_ = std::move(run);
}

void RepeatingTimer::cancel() {
    if (!run_) {
        return;
    }
    {
        std::lock_guard lock(run_->mutex);
        run_->cancelled = true;
    }
    run_->wake.notify_all();
    if (thread_.get_id() == std::this_thread::get_id()) {
        thread_.detach();
    } else {
        thread_.join();
    }
    run_.reset();
}

void RepeatingTimer::deliverEvents(Run& run) {
    allowLateWakeUps(run.leeway);
    Clock::time_point due = Clock::now();
    std::unique_lock lock(run.mutex);
    for (;;) {
        run.wake.wait_until(lock, due, [&] { return run.cancelled; });
        if (run.cancelled) {
            return;
        }
        lock.unlock();
        run.handler();
        lock.lock();
        due = nextDue(due, Clock::now(), run.interval);
    }
}

} // namespace dravelo

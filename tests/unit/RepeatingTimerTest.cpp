#include "platform/core/RepeatingTimer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using dravelo::RepeatingTimer;
using namespace std::chrono_literals;

namespace {

// Counts the timer's events and lets the test wait for a number of them.
class Events {
public:
    void record() {
        std::lock_guard lock(mutex_);
        ++count_;
        threads_.push_back(std::this_thread::get_id());
        changed_.notify_all();
    }

    bool waitFor(int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] { return count_ >= count; });
    }

    int count() const {
        std::lock_guard lock(mutex_);
        return count_;
    }

    std::vector<std::thread::id> threads() const {
        std::lock_guard lock(mutex_);
        return threads_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int count_ = 0;
    std::vector<std::thread::id> threads_;
};

constexpr auto interval = 20ms;
constexpr auto leeway = 5ms;

} // namespace

TEST(RepeatingTimer, FirstEventComesAtOnceOnABackgroundThread) {
    Events events;
    RepeatingTimer timer(1h, leeway, [&] { events.record(); });
    timer.start();
    ASSERT_TRUE(events.waitFor(1));
    EXPECT_NE(events.threads().front(), std::this_thread::get_id());
}

TEST(RepeatingTimer, KeepsFiringEveryInterval) {
    Events events;
    RepeatingTimer timer(interval, leeway, [&] { events.record(); });
    timer.start();
    EXPECT_TRUE(events.waitFor(5));
}

TEST(RepeatingTimer, StartingAgainReplacesTheRunWithAnEventAtOnce) {
    Events events;
    RepeatingTimer timer(1h, leeway, [&] { events.record(); });
    timer.start();
    ASSERT_TRUE(events.waitFor(1));
    timer.start();
    ASSERT_TRUE(events.waitFor(2));
    timer.cancel();
    timer.start();
    EXPECT_TRUE(events.waitFor(3));
}

TEST(RepeatingTimer, SlowHandlerNeverOverlapsItself) {
    Events events;
    std::atomic<int> running{0};
    std::atomic<int> mostAtOnce{0};
    RepeatingTimer timer(interval, leeway, [&] {
        const int now = ++running;
        mostAtOnce = std::max(mostAtOnce.load(), now);
        std::this_thread::sleep_for(interval * 3 / 2);
        --running;
        events.record();
    });
    timer.start();
    ASSERT_TRUE(events.waitFor(4));
    timer.cancel();
    EXPECT_EQ(mostAtOnce.load(), 1);
}

TEST(RepeatingTimer, EventsMissedDuringALongHandlerMergeIntoOne) {
    // The first event takes ten intervals. With missed events merged, the
    // following four intervals bring one merged event and about four more;
    // delivered one by one they would be ten and more.
    Events events;
    RepeatingTimer timer(interval, leeway, [&] {
        if (events.count() == 0) {
            std::this_thread::sleep_for(interval * 10);
        }
        events.record();
    });
    timer.start();
    std::this_thread::sleep_for(interval * 14);
    timer.cancel();
    EXPECT_GE(events.count(), 2);
    EXPECT_LE(events.count(), 8);
}

TEST(RepeatingTimer, CancelWaitsForTheRunningHandlerAndStopsEvents) {
    Events started;
    std::atomic<bool> finished{false};
    RepeatingTimer timer(interval, leeway, [&] {
        started.record();
        std::this_thread::sleep_for(50ms);
        finished = true;
    });
    timer.start();
    ASSERT_TRUE(started.waitFor(1));
    timer.cancel();
    EXPECT_TRUE(finished.load());
    const int afterCancel = started.count();
    std::this_thread::sleep_for(interval * 5);
    EXPECT_EQ(started.count(), afterCancel);
}

TEST(RepeatingTimer, DestroyingARunningTimerWaitsForItsHandler) {
    auto alive = std::make_shared<std::atomic<bool>>(true);
    Events events;
    {
        RepeatingTimer timer(interval, leeway, [&events, alive] {
            events.record();
            std::this_thread::sleep_for(10ms);
            EXPECT_TRUE(alive->load());
        });
        timer.start();
        ASSERT_TRUE(events.waitFor(2));
    }
    alive->store(false);
    const int afterDestruction = events.count();
    std::this_thread::sleep_for(interval * 3);
    EXPECT_EQ(events.count(), afterDestruction);
}

TEST(RepeatingTimer, HandlerCanCancelItsOwnTimer) {
    Events events;
    RepeatingTimer* self = nullptr;
    RepeatingTimer timer(interval, leeway, [&] {
        events.record();
        self->cancel();
    });
    self = &timer;
    timer.start();
    ASSERT_TRUE(events.waitFor(1));
    std::this_thread::sleep_for(interval * 5);
    EXPECT_EQ(events.count(), 1);
}

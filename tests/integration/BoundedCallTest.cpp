// The bounded wait that keeps an unanswered keyring call from blocking its
// caller, with real threads.

#include "platform/core/BoundedCall.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <thread>

using dravelo::BoundedCall;
using namespace std::chrono_literals;

namespace {

TEST(BoundedCall, ReportsWorkThatFinishesInTime) {
    auto value = std::make_shared<int>(0);
    EXPECT_TRUE(BoundedCall::run([value](BoundedCall&) { *value = 42; }, 10s));
    EXPECT_EQ(*value, 42);
}

TEST(BoundedCall, GivesUpOnWorkThatHangsAndLetsItFinishLater) {
    auto release = std::make_shared<std::promise<void>>();
    auto finished = std::make_shared<std::promise<int>>();
    std::future<int> result = finished->get_future();
    const bool inTime = BoundedCall::run(
        [gate = release->get_future().share(), finished](BoundedCall&) {
            gate.wait();
            finished->set_value(7);
        },
        50ms);
    EXPECT_FALSE(inTime);

    // The abandoned work still runs to its end on state it shares.
    release->set_value();
    ASSERT_EQ(result.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(result.get(), 7);
}

TEST(BoundedCall, WorkMayExtendItsDeadline) {
    EXPECT_TRUE(BoundedCall::run(
        [](BoundedCall& call) {
            call.extendBy(30s);
            std::this_thread::sleep_for(1500ms);
        },
        1s));
}

} // namespace

#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace dravelo {

// Runs a handler on a background thread of its own: the first event at once
// when started, then one every interval. Events never overlap; events that
// fall due while the handler runs are merged into one event, delivered as soon
// as the handler returns, and the interval grid set at the start is kept.
// The leeway is how late the system may deliver an event to save wake-ups.
//
// start() and cancel() are meant for one owning thread (the UI thread); the
// handler runs on the timer's thread.
class RepeatingTimer {
public:
    using Handler = std::function<void()>;

    // An interval below one nanosecond counts as one nanosecond.
    RepeatingTimer(std::chrono::nanoseconds interval, std::chrono::nanoseconds leeway,
                   Handler handler);
    ~RepeatingTimer();

    RepeatingTimer(const RepeatingTimer&) = delete;
    RepeatingTimer& operator=(const RepeatingTimer&) = delete;

    // Starts the events; a timer that is already running is cancelled first,
    // so the first event of the new run comes at once.
    void start();

    // Stops the events. From any thread but the handler's own it waits for a
    // running handler to return. From within the handler it only stops the
    // events that would follow.
    void cancel();

private:
    struct Run;

    static void deliverEvents(Run& run);

    std::chrono::nanoseconds interval_;
    std::chrono::nanoseconds leeway_;
    Handler handler_;
    std::shared_ptr<Run> run_;
    std::thread thread_;
};

} // namespace dravelo

#pragma once

#include <chrono>
#include <functional>

namespace dravelo {

// Runs pieces of work one at a time, in the order they were posted. A piece
// may finish later than it returns, after waiting on its thread's event loop:
// it is handed a `done` function, and the next piece starts only once that is
// called. No piece waits inside a nested event loop.
class WorkQueue {
public:
    using Done = std::function<void()>;
    using Work = std::function<void(Done done)>;

    virtual ~WorkQueue() = default;

    // Queues the work behind everything posted before it. Callable from any
    // thread; the work runs on the queue's thread.
    virtual void post(Work work) = 0;

    // Runs `now` on the queue's thread as soon as it can, ahead of waiting
    // work and even while a piece is under way (which it may cut short).
    virtual void interrupt(std::function<void()> now) = 0;

    // Drops the work still waiting and runs nothing posted later. Returns
    // when the queue's thread has finished, or after `limit` at the latest.
    virtual void stop(std::chrono::milliseconds limit) = 0;
};

} // namespace dravelo

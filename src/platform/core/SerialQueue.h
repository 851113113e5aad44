#pragma once

#include "platform/core/WorkQueue.h"

#include <deque>
#include <memory>

namespace dravelo {

// A work queue on the thread that uses it: work posted while nothing runs
// starts at once, within post(). Every call must come from that one thread.
class SerialQueue : public WorkQueue {
public:
    SerialQueue();
    ~SerialQueue() override;

    void post(Work work) override;
    void interrupt(std::function<void()> now) override;
    void stop(std::chrono::milliseconds limit) override;

private:
    struct State;
    static void drain(const std::shared_ptr<State>& state);

    // Shared with the done functions handed out, which may outlive the queue.
    std::shared_ptr<State> state_;
};

} // namespace dravelo

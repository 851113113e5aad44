#include "platform/core/SerialQueue.h"

namespace dravelo {

struct SerialQueue::State {
    std::deque<Work> waiting;
    bool busy = false;     // a piece has started and not yet called done
    bool draining = false; // drain() is on the stack
    bool stopped = false;
};

SerialQueue::SerialQueue()
    : state_(std::make_shared<State>()) {}

SerialQueue::~SerialQueue() {
    stop(std::chrono::milliseconds(0));
}

void SerialQueue::post(Work work) {
    if (state_->stopped) {
        return;
    }
    state_->waiting.push_back(std::move(work));
    drain(state_);
}

void SerialQueue::interrupt(std::function<void()> now) {
    now();
}

void SerialQueue::stop(std::chrono::milliseconds) {
    state_->stopped = true;
    state_->waiting.clear();
}

// Runs waiting pieces until one is left under way. A piece that finishes
// within its own call loops here instead of recursing, so a long run of
// quick pieces does not deepen the stack.
void SerialQueue::drain(const std::shared_ptr<State>& state) {
    if (state->draining) {
        return;
    }
    state->draining = true;
    while (!state->busy && !state->waiting.empty()) {
        Work work = std::move(state->waiting.front());
        state->waiting.pop_front();
        state->busy = true;
        auto called = std::make_shared<bool>(false);
        work([weak = std::weak_ptr<State>(state), called] {
            const std::shared_ptr<State> owner = weak.lock();
            if (*called || !owner) {
                return;
            }
            *called = true;
            owner->busy = false;
            drain(owner);
        });
    }
    state->draining = false;
}

} // namespace dravelo

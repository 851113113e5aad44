#pragma once

#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

namespace dravelo {

// The one queue of modal work (prompts, print panels) on the UI thread.
// Items run one at a time, in the order they were queued, and never nest:
// an item queued while another has a prompt open runs after it returns.
class ModalQueue : public QObject {
    Q_OBJECT

public:
    // Lives in the UI thread; create it there.
    explicit ModalQueue(QObject* parent = nullptr);

    // The client's queue, owned by the application object. UI thread only
    // for its first call.
    static ModalQueue& shared();

    // Queues work from any thread and returns at once. Items still queued
    // when the queue is destroyed do not run.
    void enqueue(std::function<void()> work);

private:
    void drain();

    std::mutex mutex_;
    std::deque<std::function<void()>> items_;
    bool running_ = false;
};

} // namespace dravelo

#include "platform/desktop/ModalQueue.h"

#include <QCoreApplication>
#include <QPointer>

namespace dravelo {

ModalQueue::ModalQueue(QObject* parent)
    : QObject(parent) {}

ModalQueue& ModalQueue::shared() {
    static QPointer<ModalQueue> queue;
    if (!queue) {
        queue = new ModalQueue(QCoreApplication::instance());
    }
    return *queue;
}

void ModalQueue::enqueue(std::function<void()> work) {
    {
        std::lock_guard lock(mutex_);
        items_.push_back(std::move(work));
    }
    // Always through the event loop, so an item never runs inside the code
    // that queued it, even on the UI thread.
    QMetaObject::invokeMethod(this, &ModalQueue::drain, Qt::QueuedConnection);
}

void ModalQueue::drain() {
    std::unique_lock lock(mutex_);
    // A drain posted while an item's prompt runs its own event loop leaves
    // the new item to the drain already under way.
    if (running_) {
        return;
    }
    running_ = true;
    while (!items_.empty()) {
        std::function<void()> work = std::move(items_.front());
        items_.pop_front();
        lock.unlock();
        work();
        lock.lock();
    }
    running_ = false;
}

} // namespace dravelo

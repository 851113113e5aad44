#include "platform/core/WorkThread.h"

#include "platform/core/Log.h"

#include <QObject>
#include <QThread>

namespace dravelo {

WorkThread::WorkThread(QString name)
    : name_(std::move(name)) {}

WorkThread::~WorkThread() {
    stop(std::chrono::seconds(3));
}

void WorkThread::post(Work work) {
    send([queue = queue_, work = std::move(work)]() mutable { queue->post(std::move(work)); },
         true);
}

// Before the thread started nothing can be under way: nothing to interrupt.
void WorkThread::interrupt(std::function<void()> now) {
    send(std::move(now), false);
}

bool WorkThread::send(std::function<void()> call, bool start) {
    const std::lock_guard lock(mutex_);
    if (stopped_ || (!thread_ && !start)) {
        return false;
    }
    if (!thread_) {
        thread_ = std::make_unique<QThread>();
        thread_->setObjectName(name_);
        receiver_ = new QObject;
        receiver_->moveToThread(thread_.get());
        QObject::connect(thread_.get(), &QThread::finished, receiver_, &QObject::deleteLater);
        thread_->start();
    }
    QMetaObject::invokeMethod(receiver_, std::move(call), Qt::QueuedConnection);
    return true;
}

void WorkThread::stop(std::chrono::milliseconds limit) {
    std::unique_ptr<QThread> thread;
    {
        const std::lock_guard lock(mutex_);
        if (stopped_) {
            return;
        }
        if (thread_) {
            // Behind every call sent so far, so an interrupt sent just
            // before still runs.
            QMetaObject::invokeMethod(
                receiver_,
                [queue = queue_] {
                    queue->stop(std::chrono::milliseconds(0));
                    QThread::currentThread()->quit();
                },
                Qt::QueuedConnection);
        }
        stopped_ = true;
        thread = std::move(thread_);
    }
    if (!thread || thread->wait(QDeadlineTimer(limit))) {
        return;
    }
    // Destroying a running QThread ends the process; the thread is left to
    // end with it instead.
    log(QStringLiteral("%1 did not stop within %2 ms; leaving it to end with the process.")
            .arg(name_)
            .arg(limit.count()));
    (void)thread.release();
}

} // namespace dravelo

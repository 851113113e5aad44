#pragma once

#include "platform/core/SerialQueue.h"

#include <QString>

#include <memory>
#include <mutex>

class QObject;
class QThread;

namespace dravelo {

// A work queue on a thread of its own, with its own Qt event loop: objects
// that the work creates there (sockets, network managers) deliver their
// signals on that thread. The thread starts with the first piece of work.
class WorkThread : public WorkQueue {
public:
    explicit WorkThread(QString name);
    ~WorkThread() override;

    WorkThread(const WorkThread&) = delete;
    WorkThread& operator=(const WorkThread&) = delete;

    void post(Work work) override;
    void interrupt(std::function<void()> now) override;
    void stop(std::chrono::milliseconds limit) override;

private:
    // Hands `call` to the thread's event loop, starting the thread if asked
    // to. False once stopped, or when the thread was not started.
    bool send(std::function<void()> call, bool start);

    QString name_;
    std::mutex mutex_;
    std::unique_ptr<QThread> thread_;
    QObject* receiver_ = nullptr; // lives on the thread, deleted as it ends
    bool stopped_ = false;
    // Touched on the thread only; kept alive by the calls sent there.
    std::shared_ptr<SerialQueue> queue_ = std::make_shared<SerialQueue>();
};

} // namespace dravelo

#pragma once

#include "platform/pdf/RendererChannel.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace dravelo {

// Puts requests to a renderer without blocking the thread that makes them:
// a thread of the client's own waits for each answer, and the answer is
// handed back through the event loop. Requests are answered one at a time,
// in the order they were made. A renderer left idle for a while is ended,
// to give its memory back; the next request starts it again.
class RendererClient : public QObject {
    Q_OBJECT

public:
    using Outcome = RendererChannel::Outcome;
    using Done = std::function<void(const Outcome& outcome)>;

    static constexpr std::chrono::seconds idleTime{30};

    explicit RendererClient(std::unique_ptr<RendererChannel> channel, QObject* parent = nullptr);
    // Ends the renderer; answers still to come are dropped.
    ~RendererClient() override;

    // Queues the request; `done` runs on this object's thread (which needs
    // an event loop) once it is answered or given up, unless the client was
    // stopped by then.
    void send(RendererRequest request, Done done);

    // Puts the request and waits for its outcome. On the thread of a
    // running event loop that loop keeps running meanwhile (and a quit ends
    // the wait at once); on any other thread the call blocks. Either way no
    // longer than the renderer's limits allow.
    Outcome wait(const RendererRequest& request);

    // Ends the renderer at once, for good: waits under way fail, and
    // answers still to come are dropped.
    void stop();

Q_SIGNALS:
    void stopped();

private:
    void serve();
    void finish(const Outcome& outcome);

    std::shared_ptr<RendererChannel> channel_;
    std::mutex mutex_;
    std::condition_variable queued_;
    std::deque<RendererRequest> requests_;
    bool ending_ = false;
    std::thread worker_;
    // Touched on this object's thread only, in the order requests were sent.
    std::deque<Done> waiting_;
    bool stopped_ = false;
    QTimer idle_;
};

} // namespace dravelo

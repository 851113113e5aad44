#include "platform/pdf/RendererClient.h"

#include "platform/core/MainThread.h"

#include <QEventLoop>
#include <QPointer>
#include <QThread>

#include <atomic>

namespace dravelo {
namespace {

// Set once a wait was ended by the application quitting; later waits then
// fail at once instead of starting event loops of their own.
std::atomic<bool> quitting{false};

bool runsEventLoop(const QObject& object) {
    return MainThread::isCurrent() && QThread::currentThread() == object.thread();
}

} // namespace

RendererClient::RendererClient(std::unique_ptr<RendererChannel> channel, QObject* parent)
    : QObject(parent)
    , channel_(std::move(channel)) {
    idle_.setSingleShot(true);
    idle_.setInterval(idleTime);
    connect(&idle_, &QTimer::timeout, this, [channel = channel_] { channel->endIfIdle(); });
}

RendererClient::~RendererClient() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    queued_.notify_one();
    channel_->stop();
    if (worker_.joinable()) {
        worker_.join();
    }
}

void RendererClient::send(RendererRequest request, Done done) {
    if (stopped_) {
        return;
    }
    waiting_.push_back(std::move(done));
    std::lock_guard lock(mutex_);
    requests_.push_back(std::move(request));
    if (!worker_.joinable()) {
        worker_ = std::thread(&RendererClient::serve, this);
    }
    queued_.notify_one();
}

RendererClient::Outcome RendererClient::wait(const RendererRequest& request) {
    if (!runsEventLoop(*this)) {
        return channel_->call(request);
    }
    const Outcome quit{std::nullopt, QStringLiteral("the client is quitting")};
    const Outcome ended{std::nullopt, QStringLiteral("the PDF renderer was stopped")};
    if (quitting) {
        return quit;
    }
    if (stopped_) {
        return ended;
    }
    auto outcome = std::make_shared<std::optional<Outcome>>();
    QEventLoop loop;
    QPointer<QEventLoop> waiting(&loop);
    const QPointer<RendererClient> self(this);
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    connect(this, &RendererClient::stopped, &loop, &QEventLoop::quit);
    send(request, [outcome, waiting](const Outcome& answer) {
        *outcome = answer;
        if (waiting) {
            waiting->quit();
        }
    });
    loop.exec();
    if (!self || stopped_) {
        return ended;
    }
    if (!*outcome) {
        // Only quitting ends every event loop of the thread.
        quitting = true;
        return quit;
    }
    return std::move(**outcome);
}

void RendererClient::stop() {
    channel_->stop();
    stopped_ = true;
    waiting_.clear();
    Q_EMIT stopped();
}

void RendererClient::serve() {
    for (;;) {
        std::unique_lock lock(mutex_);
        queued_.wait(lock, [this] { return ending_ || !requests_.empty(); });
        if (ending_) {
            return;
        }
        const RendererRequest request = std::move(requests_.front());
        requests_.pop_front();
        lock.unlock();
        // A stopped channel fails at once, so a queue drains quickly.
        Outcome outcome = channel_->call(request);
        QMetaObject::invokeMethod(
            this, [this, outcome = std::move(outcome)] { finish(outcome); }, Qt::QueuedConnection);
    }
}

void RendererClient::finish(const Outcome& outcome) {
    if (stopped_ || waiting_.empty()) {
        return;
    }
    const Done done = std::move(waiting_.front());
    waiting_.pop_front();
    if (waiting_.empty()) {
        idle_.start();
    }
    // Last: what it does may end this client.
    done(outcome);
}

} // namespace dravelo

#include "platform/pdf/RendererProcess.h"

#include "platform/core/Log.h"
#include "platform/process/TiedChildProcess.h"

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <set>

namespace dravelo {
namespace {

using Kind = RendererRequest::Kind;

constexpr qsizetype readChunk = 256 * 1024;
// How long an ended renderer is given to be reaped, for its exit status.
constexpr auto reapWait = std::chrono::milliseconds(200);

struct Registry {
    std::mutex mutex;
    std::set<RendererProcess*> processes;
    bool quitting = false;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

// What a request asks for, for log lines: "drawing page 3 of FILE".
QString describe(const RendererRequest& request) {
    const QString page = QString::number(request.page + 1);
    switch (request.kind) {
    case Kind::Inspect:
        return QStringLiteral("opening %1").arg(request.path);
    case Kind::Render:
        return QStringLiteral("drawing page %1 of %2").arg(page, request.path);
    case Kind::Select:
        return QStringLiteral("finding the text on page %1 of %2").arg(page, request.path);
    case Kind::CopyPage:
        return QStringLiteral("copying page %1 of %2").arg(page, request.path);
    case Kind::WriteUnencrypted:
        return QStringLiteral("writing an unencrypted copy of %1").arg(request.path);
    }
    return request.path;
}

int millisecondsUntil(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return int(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

// Waits until the socket is ready for `events` or the deadline passes; false
// on the deadline.
bool waitFor(int socket, short events, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        pollfd entry{socket, events, 0};
        const int ready = ::poll(&entry, 1, millisecondsUntil(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        return ready != 0;
    }
}

} // namespace

RendererProcess::RendererProcess(QString program, RendererLimits limits)
    : program_(std::move(program))
    , limits_(limits) {
    Registry& all = registry();
    std::lock_guard lock(all.mutex);
    all.processes.insert(this);
    stopped_ = all.quitting;
}

RendererProcess::~RendererProcess() {
    {
        Registry& all = registry();
        std::lock_guard lock(all.mutex);
        all.processes.erase(this);
    }
    stop();
    std::lock_guard call(callMutex_);
    end();
}

RendererFactory RendererProcess::factory(QString program, RendererLimits limits) {
    return [program = std::move(program), limits] {
        return std::make_unique<RendererProcess>(program, limits);
    };
}

void RendererProcess::stopAll() {
    Registry& all = registry();
    std::lock_guard lock(all.mutex);
    all.quitting = true;
    for (RendererProcess* process : all.processes) {
        process->stop();
    }
}

void RendererProcess::stop() {
    std::lock_guard lock(stateMutex_);
    stopped_ = true;
    if (socket_ >= 0) {
        // Wakes a call waiting on the socket; the call itself closes it.
        ::shutdown(socket_, SHUT_RDWR);
    }
    if (child_) {
        child_->kill();
    }
}

void RendererProcess::endIfIdle() {
    std::unique_lock call(callMutex_, std::try_to_lock);
    if (call.owns_lock()) {
        end();
    }
}

RendererChannel::Outcome RendererProcess::call(const RendererRequest& request) {
    std::lock_guard call(callMutex_);
    QString failure;
    if (!start(failure)) {
        return {std::nullopt, failure};
    }
    const QString what = describe(request);
    Outcome outcome = exchange(request, what);
    if (!outcome.reply) {
        end();
    }
    return outcome;
}

RendererChannel::Outcome RendererProcess::exchange(const RendererRequest& request,
                                                   const QString& what) {
    const std::chrono::milliseconds limit = limits_.deadlineFor(request.kind);
    const Clock::time_point deadline = Clock::now() + limit;
    QString failure;
    bool overran = false;
    const QByteArray body = send(RendererProtocol::frame(request), deadline)
                                ? receive(deadline, failure, overran)
                                : QByteArray();
    if (!body.isEmpty()) {
        if (std::optional<RendererReply> reply = RendererProtocol::decodeReply(body)) {
            return {std::move(reply), {}};
        }
        log(QStringLiteral("The PDF renderer answered %1 with something that is not a reply; "
                           "it was ended.")
                .arg(what));
        return {std::nullopt, QStringLiteral("the PDF renderer gave a malformed answer")};
    }
    if (isStopped()) {
        return {std::nullopt, QStringLiteral("the PDF renderer was stopped")};
    }
    if (overran) {
        const qint64 seconds = std::chrono::duration_cast<std::chrono::seconds>(limit).count();
        log(QStringLiteral("The PDF renderer took longer than %1 s %2 and was ended.")
                .arg(seconds)
                .arg(what));
        return {std::nullopt,
                QStringLiteral("the PDF renderer took longer than %1 s").arg(seconds)};
    }
    if (!failure.isEmpty()) {
        log(QStringLiteral("The PDF renderer failed %1: %2; it was ended.").arg(what, failure));
        return {std::nullopt, failure};
    }
    const QString ending = describeEnd(request.kind);
    log(QStringLiteral("The PDF renderer ended while %1: %2.").arg(what, ending));
    return {std::nullopt, QStringLiteral("the PDF renderer ended: %1").arg(ending)};
}

bool RendererProcess::start(QString& failure) {
    std::lock_guard lock(stateMutex_);
    if (stopped_) {
        failure = QStringLiteral("the PDF renderer was stopped");
        return false;
    }
    if (child_ && socket_ >= 0) {
        return true;
    }
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        failure = QStringLiteral("no socket for the PDF renderer: %1")
                      .arg(QString::fromLocal8Bit(std::strerror(errno)));
        log(QStringLiteral("Cannot start the PDF renderer: %1").arg(failure));
        return false;
    }
    auto child = std::make_unique<TiedChildProcess>();
    const bool started = child->start(program_, limits_.arguments(), pair[1]);
    ::close(pair[1]);
    if (!started) {
        ::close(pair[0]);
        failure = QStringLiteral("the PDF renderer %1 could not be started").arg(program_);
        return false;
    }
    child_ = std::move(child);
    socket_ = pair[0];
    pending_.clear();
    return true;
}

bool RendererProcess::send(const QByteArray& frame, Clock::time_point deadline) {
    qsizetype written = 0;
    while (written < frame.size()) {
        if (!waitFor(socket_, POLLOUT, deadline)) {
            return false;
        }
        const ssize_t count = ::send(socket_, frame.constData() + written,
                                     size_t(frame.size() - written), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (count < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        written += count;
    }
    return true;
}

QByteArray RendererProcess::receive(Clock::time_point deadline, QString& failure, bool& overran) {
    QByteArray body;
    QByteArray chunk(readChunk, Qt::Uninitialized);
    for (;;) {
        switch (RendererProtocol::takeFrame(pending_, body)) {
        case RendererProtocol::Take::Frame:
            return body;
        case RendererProtocol::Take::Malformed:
            failure = QStringLiteral("the PDF renderer gave a malformed answer");
            return {};
        case RendererProtocol::Take::Incomplete:
            break;
        }
        if (!waitFor(socket_, POLLIN, deadline)) {
            overran = true;
            return {};
        }
        const ssize_t count = ::recv(socket_, chunk.data(), size_t(chunk.size()), MSG_DONTWAIT);
        if (count < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (count <= 0) {
            return {};
        }
        pending_.append(chunk.constData(), count);
    }
}

void RendererProcess::end() {
    std::unique_ptr<TiedChildProcess> child;
    {
        std::lock_guard lock(stateMutex_);
        if (socket_ >= 0) {
            ::close(socket_);
            socket_ = -1;
        }
        child = std::move(child_);
        pending_.clear();
    }
    if (child) {
        child->kill();
        child->waitForExit(reapWait);
    }
}

bool RendererProcess::isStopped() {
    std::lock_guard lock(stateMutex_);
    return stopped_;
}

QString RendererProcess::describeEnd(RendererRequest::Kind kind) const {
    if (!child_ || !child_->waitForExit(reapWait)) {
        return QStringLiteral("it closed its connection");
    }
    if (const std::optional<int> code = child_->exitCode()) {
        return QStringLiteral("it exited with status %1").arg(*code);
    }
    const int signal = child_->endingSignal().value_or(0);
    if (signal == SIGXCPU) {
        return QStringLiteral("it used more than its %1 s of CPU time")
            .arg(limits_.cpuSecondsFor(kind));
    }
    return QStringLiteral("it was killed by signal %1 (%2)")
        .arg(signal)
        .arg(QString::fromLocal8Bit(::strsignal(signal)));
}

} // namespace dravelo

#pragma once

#include "platform/pdf/RendererChannel.h"
#include "platform/pdf/RendererLimits.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <memory>
#include <mutex>

namespace dravelo {

class TiedChildProcess;

// A renderer program run as a child process of the client, tied to it, and
// spoken to over a socket pair. The program is started with the first call
// and again after it was ended; it bounds its own memory and CPU time (see
// RendererLimits), and every wait for it here has a deadline.
class RendererProcess : public RendererChannel {
public:
    RendererProcess(QString program, RendererLimits limits);
    ~RendererProcess() override;

    RendererProcess(const RendererProcess&) = delete;
    RendererProcess& operator=(const RendererProcess&) = delete;

    Outcome call(const RendererRequest& request) override;
    void stop() override;
    void endIfIdle() override;

    // Ends every renderer of the client at once, and lets none start from
    // then on: the client is quitting.
    static void stopAll();

    static RendererFactory factory(QString program, RendererLimits limits);

private:
    using Clock = std::chrono::steady_clock;

    bool start(QString& failure);
    Outcome exchange(const RendererRequest& request, const QString& what);
    bool send(const QByteArray& frame, Clock::time_point deadline);
    // The reply's body; empty with `failure` set when there is none.
    QByteArray receive(Clock::time_point deadline, QString& failure, bool& overran);
    // Ends the renderer and forgets it; the caller holds callMutex_.
    void end();
    bool isStopped();
    // How the renderer ended, for a log line: "it exited with status 1".
    QString describeEnd(RendererRequest::Kind kind) const;

    const QString program_;
    const RendererLimits limits_;
    // Held for a whole call.
    std::mutex callMutex_;
    // Guards what stop() touches from other threads.
    std::mutex stateMutex_;
    std::unique_ptr<TiedChildProcess> child_;
    int socket_ = -1;
    bool stopped_ = false;
    QByteArray pending_;
};

} // namespace dravelo

#pragma once

#include "platform/process/TaskRunner.h"

#include <atomic>
#include <chrono>
#include <limits>
#include <optional>

class QProcess;

namespace dravelo {

// Runs child processes with QProcess. The child's output goes to our own
// stdout; its error output is kept for the result (launched programs: for
// the log line on failure). Safe to use from any thread. A run on the UI
// thread waits in an event loop of its own, so the UI stays responsive and a
// quit ends the wait at once; elsewhere it blocks. Launched programs are
// started and watched from the UI thread's event loop.
class Task : public TaskRunner {
public:
    TaskResult run(const QString& program, const QStringList& arguments,
                   std::chrono::milliseconds timeout) override;
    bool launch(const QString& program, const QStringList& arguments) override;
    void cutShort(std::chrono::milliseconds grace) override;

private:
    using Clock = std::chrono::steady_clock;

    // Cut short or timed out by now; nothing while the run may go on.
    std::optional<TaskResult::Outcome> endsEarly(Clock::time_point deadline) const;
    // How the wait ended early, or nothing once the child has ended.
    std::optional<TaskResult::Outcome> waitBlocking(QProcess& process,
                                                    Clock::time_point deadline) const;
    std::optional<TaskResult::Outcome> waitInEventLoop(QProcess& process,
                                                       Clock::time_point deadline) const;

    // When runs are cut short, on the steady clock; never until cutShort().
    std::atomic<std::chrono::steady_clock::rep> cutShortAt_{
        std::numeric_limits<std::chrono::steady_clock::rep>::max()};
};

} // namespace dravelo

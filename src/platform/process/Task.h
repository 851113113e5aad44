#pragma once

#include "platform/process/TaskRunner.h"

#include <atomic>
#include <limits>

namespace dravelo {

// Runs child processes with QProcess. The child's output goes to our own
// stdout; its error output is kept for the result (launched programs: for
// the log line on failure). Safe to use from any thread; launched programs
// are started and watched from the UI thread's event loop.
class Task : public TaskRunner {
public:
    TaskResult run(const QString& program, const QStringList& arguments,
                   std::chrono::milliseconds timeout) override;
    bool launch(const QString& program, const QStringList& arguments) override;
    void cutShort(std::chrono::milliseconds grace) override;

private:
    // When runs are cut short, on the steady clock; never until cutShort().
    std::atomic<std::chrono::steady_clock::rep> cutShortAt_{
        std::numeric_limits<std::chrono::steady_clock::rep>::max()};
};

} // namespace dravelo

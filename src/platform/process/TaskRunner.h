#pragma once

#include <QString>
#include <QStringList>

#include <chrono>

namespace dravelo {

// How a child process ended.
struct TaskResult {
    enum class Outcome { Exited, Crashed, TimedOut, FailedToStart };
    Outcome outcome = Outcome::FailedToStart;
    int exitCode = -1;
};

// Runs programs by path as child processes. Small enough to fake in tests.
class TaskRunner {
public:
    virtual ~TaskRunner() = default;

    // Runs the program and waits for it, at most `timeout`; a child still
    // running then is ended.
    virtual TaskResult run(const QString& program, const QStringList& arguments,
                           std::chrono::milliseconds timeout) = 0;

    // Starts the program and does not wait for it.
    virtual bool launch(const QString& program, const QStringList& arguments) = 0;
};

} // namespace dravelo

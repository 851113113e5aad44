#pragma once

#include <QString>
#include <QStringList>

#include <chrono>

namespace dravelo {

// How a child process ended.
struct TaskResult {
    // CutShort: ended because cutShort() asked for it.
    enum class Outcome { Exited, Crashed, TimedOut, CutShort, FailedToStart };
    Outcome outcome = Outcome::FailedToStart;
    int exitCode = -1;
    // What the child wrote to its standard error, or why it did not start.
    QString errorText;
};

// Runs programs by path as child processes. Small enough to fake in tests.
class TaskRunner {
public:
    virtual ~TaskRunner() = default;

    // Runs the program and waits for it, at most `timeout`; a child still
    // running then is ended.
    virtual TaskResult run(const QString& program, const QStringList& arguments,
                           std::chrono::milliseconds timeout) = 0;

    // Starts the program and does not wait for it; a program that fails
    // (does not start, or exits with a non-zero status) is logged with its
    // own error text.
    virtual bool launch(const QString& program, const QStringList& arguments) = 0;

    // From now on, no run waits more than `grace` past this call: a child
    // still running then is ended. Used when the client quits.
    virtual void cutShort(std::chrono::milliseconds grace) = 0;
};

} // namespace dravelo

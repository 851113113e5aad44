#pragma once

#include "platform/process/TaskRunner.h"

namespace dravelo {

// Runs child processes with QProcess. The child's output goes to our own
// stdout and stderr. Safe to use from any thread.
class Task : public TaskRunner {
public:
    TaskResult run(const QString& program, const QStringList& arguments,
                   std::chrono::milliseconds timeout) override;
    bool launch(const QString& program, const QStringList& arguments) override;
};

} // namespace dravelo

#include "platform/process/Task.h"

#include <QProcess>

namespace dravelo {
namespace {

constexpr int killGraceMs = 2000;

void endChild(QProcess& process) {
    process.terminate();
    if (!process.waitForFinished(killGraceMs)) {
        process.kill();
        process.waitForFinished(killGraceMs);
    }
}

} // namespace

TaskResult Task::run(const QString& program, const QStringList& arguments,
                     std::chrono::milliseconds timeout) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted()) {
        return {TaskResult::Outcome::FailedToStart, -1};
    }
    if (!process.waitForFinished(static_cast<int>(timeout.count()))) {
        endChild(process);
        return {TaskResult::Outcome::TimedOut, -1};
    }
    if (process.exitStatus() == QProcess::CrashExit) {
        return {TaskResult::Outcome::Crashed, -1};
    }
    return {TaskResult::Outcome::Exited, process.exitCode()};
}

bool Task::launch(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

} // namespace dravelo

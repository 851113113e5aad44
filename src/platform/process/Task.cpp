#include "platform/process/Task.h"

#include "platform/core/Log.h"
#include "platform/core/MainThread.h"

#include <QCoreApplication>
#include <QProcess>

namespace dravelo {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int killGraceMs = 1000;
// How often a waiting run looks whether it was cut short.
constexpr auto waitSlice = 50ms;

void endChild(QProcess& process) {
    process.terminate();
    if (!process.waitForFinished(killGraceMs)) {
        process.kill();
        process.waitForFinished(killGraceMs);
    }
}

QString errorTextOf(QProcess& process) {
    return QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
}

QString commandLine(const QString& program, const QStringList& arguments) {
    return (QStringList{program} + arguments).join(QLatin1Char(' '));
}

// Runs on the UI thread, whose event loop reports how the child ends.
void startWatched(const QString& program, const QStringList& arguments) {
    auto* process = new QProcess(QCoreApplication::instance());
    process->setProcessChannelMode(QProcess::ForwardedOutputChannel);
    const QString command = commandLine(program, arguments);
    QObject::connect(
        process, &QProcess::errorOccurred, process,
        [process, command](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) {
                log(QStringLiteral("Cannot start %1: %2").arg(command, process->errorString()));
                process->deleteLater();
            }
        });
    QObject::connect(process, &QProcess::finished, process,
                     [process, command](int exitCode, QProcess::ExitStatus status) {
                         const QString errorText = errorTextOf(*process);
                         if (status == QProcess::CrashExit) {
                             log(QStringLiteral("%1 crashed: %2").arg(command, errorText));
                         } else if (exitCode != 0) {
                             log(QStringLiteral("%1 failed with status %2: %3")
                                     .arg(command)
                                     .arg(exitCode)
                                     .arg(errorText));
                         }
                         process->deleteLater();
                     });
    process->start(program, arguments);
}

} // namespace

TaskResult Task::run(const QString& program, const QStringList& arguments,
                     std::chrono::milliseconds timeout) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    process.start(program, arguments);
    if (!process.waitForStarted()) {
        return {TaskResult::Outcome::FailedToStart, -1, process.errorString()};
    }
    const Clock::time_point deadline = Clock::now() + timeout;
    while (process.state() != QProcess::NotRunning &&
           !process.waitForFinished(static_cast<int>(waitSlice.count()))) {
        const Clock::time_point now = Clock::now();
        const bool cut = now.time_since_epoch().count() >= cutShortAt_.load();
        if (cut || now >= deadline) {
            endChild(process);
            return {cut ? TaskResult::Outcome::CutShort : TaskResult::Outcome::TimedOut, -1,
                    errorTextOf(process)};
        }
    }
    if (process.exitStatus() == QProcess::CrashExit) {
        return {TaskResult::Outcome::Crashed, -1, errorTextOf(process)};
    }
    return {TaskResult::Outcome::Exited, process.exitCode(), errorTextOf(process)};
}

bool Task::launch(const QString& program, const QStringList& arguments) {
    runOnMainThread([program, arguments] { startWatched(program, arguments); });
    return true;
}

void Task::cutShort(std::chrono::milliseconds grace) {
    const Clock::rep at = (Clock::now() + grace).time_since_epoch().count();
    Clock::rep current = cutShortAt_.load();
    while (at < current && !cutShortAt_.compare_exchange_weak(current, at)) {
    }
}

} // namespace dravelo

#include "platform/process/Task.h"

#include "platform/core/Log.h"
#include "platform/core/MainThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

namespace dravelo {
namespace {

using namespace std::chrono_literals;

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
    const std::optional<TaskResult::Outcome> ended = MainThread::isCurrent()
                                                         ? waitInEventLoop(process, deadline)
                                                         : waitBlocking(process, deadline);
    if (ended) {
        endChild(process);
        return {*ended, -1, errorTextOf(process)};
    }
    if (process.exitStatus() == QProcess::CrashExit) {
        return {TaskResult::Outcome::Crashed, -1, errorTextOf(process)};
    }
    return {TaskResult::Outcome::Exited, process.exitCode(), errorTextOf(process)};
}

std::optional<TaskResult::Outcome> Task::endsEarly(Clock::time_point deadline) const {
    const Clock::time_point now = Clock::now();
    if (now.time_since_epoch().count() >= cutShortAt_.load()) {
        return TaskResult::Outcome::CutShort;
    }
    if (now >= deadline) {
        return TaskResult::Outcome::TimedOut;
    }
    return std::nullopt;
}

std::optional<TaskResult::Outcome> Task::waitBlocking(QProcess& process,
                                                      Clock::time_point deadline) const {
    while (process.state() != QProcess::NotRunning &&
           !process.waitForFinished(static_cast<int>(waitSlice.count()))) {
        if (const std::optional<TaskResult::Outcome> early = endsEarly(deadline)) {
            return early;
        }
    }
    return std::nullopt;
}

// The UI keeps painting and answering meanwhile; quitting the application
// ends every event loop, and with it the wait.
std::optional<TaskResult::Outcome> Task::waitInEventLoop(QProcess& process,
                                                         Clock::time_point deadline) const {
    if (process.state() == QProcess::NotRunning) {
        return std::nullopt;
    }
    QEventLoop loop;
    std::optional<TaskResult::Outcome> ended = TaskResult::Outcome::CutShort;
    QObject::connect(&process, &QProcess::finished, &loop, [&] {
        ended.reset();
        loop.quit();
    });
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (const std::optional<TaskResult::Outcome> early = endsEarly(deadline)) {
            ended = early;
            loop.quit();
        }
    });
    watch.start(waitSlice);
    loop.exec();
    return process.state() == QProcess::NotRunning ? std::nullopt : ended;
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

#include "platform/process/Task.h"

#include <gtest/gtest.h>

#include "support/LogRecorder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <thread>

using dravelo::Task;
using dravelo::TaskResult;
using dravelo::test::LogRecorder;
using namespace std::chrono_literals;

TEST(Task, ReportsHowTheChildEnded) {
    Task task;
    EXPECT_EQ(
        task.run(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("exit 3")}, 5s)
            .exitCode,
        3);
    EXPECT_EQ(task.run(QStringLiteral("/bin/true"), {}, 5s).outcome, TaskResult::Outcome::Exited);
    EXPECT_EQ(task.run(QStringLiteral("/bin/sh"),
                       {QStringLiteral("-c"), QStringLiteral("echo 'no printer' >&2; exit 1")}, 5s)
                  .errorText,
              QStringLiteral("no printer"));
    EXPECT_EQ(task.run(QStringLiteral("/nonexistent/lp"), {}, 5s).outcome,
              TaskResult::Outcome::FailedToStart);
    EXPECT_EQ(task.run(QStringLiteral("/bin/sh"),
                       {QStringLiteral("-c"), QStringLiteral("kill -9 $$")}, 5s)
                  .outcome,
              TaskResult::Outcome::Crashed);
}

TEST(Task, AChildThatNeverReturnsIsEndedAfterTheBound) {
    QTemporaryDir dir;
    const QString marker = dir.filePath(QStringLiteral("still-running"));
    Task task;
    QElapsedTimer clock;
    clock.start();
    // The child would touch the marker if it outlived the bound.
    const TaskResult result =
        task.run(QStringLiteral("/bin/sh"),
                 {QStringLiteral("-c"), QStringLiteral("sleep 2; touch '%1'").arg(marker)}, 200ms);
    EXPECT_EQ(result.outcome, TaskResult::Outcome::TimedOut);
    EXPECT_LT(clock.elapsed(), 2000);
    sleep(3);
    EXPECT_FALSE(QFile::exists(marker));
}

TEST(Task, CuttingShortEndsARunningChildAfterTheGrace) {
    Task task;
    QElapsedTimer clock;
    clock.start();
    std::thread quit([&] {
        std::this_thread::sleep_for(200ms);
        task.cutShort(300ms);
    });
    const TaskResult result = task.run(QStringLiteral("/bin/sleep"), {QStringLiteral("30")}, 30s);
    quit.join();
    EXPECT_EQ(result.outcome, TaskResult::Outcome::CutShort);
    EXPECT_LT(clock.elapsed(), 3000);
    // Later runs get no more than the grace either.
    EXPECT_EQ(task.run(QStringLiteral("/bin/sleep"), {QStringLiteral("30")}, 30s).outcome,
              TaskResult::Outcome::CutShort);
}

TEST(Task, ALaunchedProgramThatFailsIsLoggedWithItsOwnWords) {
    Task task;
    LogRecorder log;
    task.launch(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"), QStringLiteral("echo 'no viewer for PDF' >&2; exit 3")});
    task.launch(QStringLiteral("/nonexistent/xdg-open"), {QStringLiteral("guide.pdf")});
    QElapsedTimer clock;
    clock.start();
    while (log.lines().size() < 2 && clock.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    const QStringList lines = log.lines();
    EXPECT_EQ(lines.filter(QStringLiteral("failed with status 3: no viewer for PDF")).size(), 1)
        << lines.join('\n').toStdString();
    EXPECT_EQ(lines.filter(QStringLiteral("Cannot start /nonexistent/xdg-open")).size(), 1)
        << lines.join('\n').toStdString();
}

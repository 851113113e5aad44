#include "platform/process/Task.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

using dravelo::Task;
using dravelo::TaskResult;
using namespace std::chrono_literals;

TEST(Task, ReportsHowTheChildEnded) {
    Task task;
    EXPECT_EQ(
        task.run(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("exit 3")}, 5s)
            .exitCode,
        3);
    EXPECT_EQ(task.run(QStringLiteral("/bin/true"), {}, 5s).outcome, TaskResult::Outcome::Exited);
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

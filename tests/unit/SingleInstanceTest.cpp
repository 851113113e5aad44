#include "platform/process/SingleInstance.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

using dravelo::SingleInstance;

namespace {

QString lockFileIn(const QString& dir) {
    const QStringList locks =
        QDir(dir).entryList({QStringLiteral("*.lock")}, QDir::Files | QDir::Hidden);
    return locks.isEmpty() ? QString() : dir + '/' + locks.first();
}

TEST(SingleInstance, ASecondStartAsksTheRunningClientToReopen) {
    QTemporaryDir runtime;
    SingleInstance first(runtime.path(), QStringLiteral("/home/a"));
    ASSERT_TRUE(first.claim());
    QSignalSpy reopened(&first, &SingleInstance::reopenRequested);

    SingleInstance second(runtime.path(), QStringLiteral("/home/a"));
    EXPECT_FALSE(second.claim());
    EXPECT_TRUE(reopened.wait(5000));
    EXPECT_EQ(reopened.count(), 1);
}

TEST(SingleInstance, ClientsOfOtherHomeDirectoriesRunSideBySide) {
    QTemporaryDir runtime;
    SingleInstance first(runtime.path(), QStringLiteral("/home/a"));
    SingleInstance other(runtime.path(), QStringLiteral("/home/b"));
    EXPECT_TRUE(first.claim());
    EXPECT_TRUE(other.claim());
}

TEST(SingleInstance, WhatAKilledClientLeftBehindDoesNotStopTheNextStart) {
    QTemporaryDir runtime;
    QString lockPath;
    {
        SingleInstance probe(runtime.path(), QStringLiteral("/home/a"));
        ASSERT_TRUE(probe.claim());
        lockPath = lockFileIn(runtime.path());
    }
    ASSERT_FALSE(lockPath.isEmpty());
    // A lock naming a process that no longer runs, and its socket file.
    QProcess gone;
    gone.start(QStringLiteral("/bin/true"));
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 gonePid = gone.processId();
    gone.waitForFinished();
    {
        SingleInstance holder(runtime.path(), QStringLiteral("/home/a"));
        ASSERT_TRUE(holder.claim());
        QFile lock(lockPath);
        ASSERT_TRUE(lock.open(QIODevice::ReadOnly));
        QByteArrayList fields = lock.readAll().split('\n');
        lock.close();
        fields[0] = QByteArray::number(gonePid);
        // Leave the lock file behind as a killed client would.
        QFile::rename(lockPath, lockPath + QStringLiteral(".kept"));
        QFile rewritten(lockPath + QStringLiteral(".kept"));
        ASSERT_TRUE(rewritten.open(QIODevice::WriteOnly | QIODevice::Truncate));
        rewritten.write(fields.join('\n'));
    }
    QFile::rename(lockPath + QStringLiteral(".kept"), lockPath);
    QFile socketLeftover(
        QString(lockPath).replace(QStringLiteral(".lock"), QStringLiteral(".sock")));
    ASSERT_TRUE(socketLeftover.open(QIODevice::WriteOnly));
    socketLeftover.close();

    SingleInstance next(runtime.path(), QStringLiteral("/home/a"));
    EXPECT_TRUE(next.claim());
    SingleInstance after(runtime.path(), QStringLiteral("/home/a"));
    EXPECT_FALSE(after.claim());
}

} // namespace

#include "support/ControllerHarness.h"
#include "support/LogRecorder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <QThread>

#include <sys/stat.h>

using dravelo::test::ControllerHarness;
using dravelo::test::LogRecorder;

namespace {

mode_t permissions(const QString& path) {
    struct stat info = {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}

void fillStaging(const ControllerHarness& h) {
    QDir().mkpath(h.stagingFile(QStringLiteral("folder/inner")));
    h.writeJob(h.stagingPath(), QStringLiteral("left-over"));
    h.writeJob(h.stagingFile(QStringLiteral("folder/inner")), QStringLiteral("deep"));
    QFile hidden(h.stagingFile(QStringLiteral(".hidden")));
    hidden.open(QIODevice::WriteOnly);
    QFile::link(QStringLiteral("/nonexistent"), h.stagingFile(QStringLiteral("dangling")));
}

QStringList stagingEntries(const ControllerHarness& h) {
    return QDir(h.stagingPath())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

TEST(ControllerLifecycle, StartCreatesAPrivateStagingDirectory) {
    ControllerHarness h;
    LogRecorder log;
    h.controller().init();
    ASSERT_TRUE(QFileInfo(h.stagingPath()).isDir());
    EXPECT_EQ(permissions(h.stagingPath()), 0700u);
    EXPECT_TRUE(log.contains(QStringLiteral("~/.dravelo Created.")));
    EXPECT_FALSE(log.contains(QStringLiteral("~/.dravelo creation failed.")));
}

// A killed run's jobs under dispatch go back to the home drop folder; all
// else it left goes.
TEST(ControllerLifecycle, StartTakesAnEarlierRunsJobsHomeEmptiesTheRestAndTightensPermissions) {
    ControllerHarness h;
    QDir().mkpath(h.stagingPath());
    ::chmod(QFile::encodeName(h.stagingPath()).constData(), 0755);
    fillStaging(h);
    QFile viewerCopy(h.stagingFile(QStringLiteral("viewed.pdf")));
    ASSERT_TRUE(viewerCopy.open(QIODevice::WriteOnly));
    viewerCopy.close();
    h.writeJob(h.stagingPath(), QStringLiteral("taken"));
    h.writeJob(h.home(), QStringLiteral("taken"));
    LogRecorder log;

    h.controller().init();
    EXPECT_EQ(stagingEntries(h), QStringList());
    EXPECT_EQ(permissions(h.stagingPath()), 0700u);
    const QStringList home = QDir(h.home()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    EXPECT_EQ(home, (QStringList{"left-over.pcf", "left-over.ppf", "taken.pcf", "taken.ppf"}));
    EXPECT_EQ(log.lines().filter(QStringLiteral("was moved to")),
              QStringList{QStringLiteral("Job left-over.pcf from %1 was moved to %2.")
                              .arg(h.stagingPath(), h.home())});
    EXPECT_TRUE(log.contains(QStringLiteral("Cannot move %1 to %2.")
                                 .arg(h.stagingFile(QStringLiteral("taken.ppf")),
                                      h.home() + QStringLiteral("/taken.ppf"))));
}

TEST(ControllerLifecycle, TerminationEmptiesTheStagingDirectory) {
    ControllerHarness h;
    h.controller().init();
    fillStaging(h);
    h.controller().applicationEnding();
    EXPECT_EQ(stagingEntries(h), QStringList());
    EXPECT_TRUE(QFileInfo(h.stagingPath()).isDir());
}

TEST(ControllerLifecycle, AFileInPlaceOfTheStagingDirectoryIsReportedAndLeftAlone) {
    ControllerHarness h;
    QFile blocker(h.stagingPath());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.write("mine");
    blocker.close();
    LogRecorder log;

    h.controller().init();
    EXPECT_TRUE(log.contains(QStringLiteral("~/.dravelo creation failed.")));
    EXPECT_FALSE(log.contains(QStringLiteral("~/.dravelo Created.")));
    ASSERT_TRUE(blocker.open(QIODevice::ReadOnly));
    EXPECT_EQ(blocker.readAll(), QByteArray("mine"));
}

TEST(ControllerLifecycle, ALinkInPlaceOfTheStagingDirectoryIsNotFollowed) {
    ControllerHarness h;
    const QString elsewhere = h.root_.filePath(QStringLiteral("elsewhere"));
    QDir().mkpath(elsewhere);
    QFile keep(elsewhere + QStringLiteral("/keep.txt"));
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
    keep.close();
    QFile::link(elsewhere, h.stagingPath());
    LogRecorder log;

    h.controller().init();
    EXPECT_TRUE(log.contains(QStringLiteral("~/.dravelo creation failed.")));
    EXPECT_TRUE(QFile::exists(elsewhere + QStringLiteral("/keep.txt")));
}

TEST(ControllerLifecycle, IntakeStartsOnlyWithAStagingDirectory) {
    ControllerHarness running(ControllerHarness::Intake::AsConfigured);
    running.controller().init();
    // The clipboard timer's first poll comes at once.
    for (int i = 0; i < 100 && running.pasteboard.calls().changeCount == 0; ++i) {
        QThread::msleep(20);
    }
    EXPECT_GT(running.pasteboard.calls().changeCount, 0);

    ControllerHarness blocked(ControllerHarness::Intake::AsConfigured);
    QFile blocker(blocked.stagingPath());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    blocked.controller().init();
    QThread::msleep(300);
    EXPECT_EQ(blocked.pasteboard.calls().changeCount, 0);
}

} // namespace

#include "support/ControllerHarness.h"
#include "support/LogRecorder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

using dravelo::FakeDiskImageTool;
using dravelo::test::ControllerHarness;
using dravelo::test::FakeTaskRunner;
using dravelo::test::LogRecorder;

namespace {

// One watcher pass at a time over real folders, with a fake disk-image tool.
// Jobs are dispatched under "Print directly to printer", so the print
// commands run are the record of what was dispatched.
class DropFolderWatcher : public ::testing::Test {
protected:
    void SetUp() override {
        h.controller().init();
        h.diskImages.clearCalls();
        h.setSetting(QStringLiteral("actionPrintJob"), QStringLiteral("Print directly to printer"));
        h.setSetting(QStringLiteral("enableDriveMap"), QStringLiteral("yes"));
        h.tasks.onRun([this](const FakeTaskRunner::Call& call) {
            const bool free = h.controller().jobLock().try_lock();
            if (free) {
                h.controller().jobLock().unlock();
            }
            printed << QFileInfo(call.arguments.value(0)).fileName();
            lockHeldWhilePrinting << !free;
        });
    }

    void mountVolume() {
        h.controller().watchPass();
        h.diskImages.clearCalls();
    }
    QString volume() { return h.controller().driveMapMountPoint(); }
    bool inHome(const QString& name) const { return QFile::exists(h.home() + '/' + name); }
    bool staged(const QString& name) const { return QFile::exists(h.stagingFile(name)); }
    void writeFile(const QString& path, const QByteArray& contents = "stale") const {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(contents);
    }

    ControllerHarness h;
    QStringList printed;
    QList<bool> lockHeldWhilePrinting;
};

TEST_F(DropFolderWatcher, ThePassThatMountsTheVolumeScansNothing) {
    h.writeJob(h.home(), QStringLiteral("early"));
    h.controller().watchPass();

    const QString image = h.controller().driveMapImagePath();
    EXPECT_EQ(
        h.diskImages.calls(),
        (std::vector<FakeDiskImageTool::Call>{
            {QStringLiteral("createImage"),
             {image, QString::number(384LL * 1024 * 1024), QStringLiteral("DraveloDrive")}},
            {QStringLiteral("attachImage"), {image, h.home() + QStringLiteral("/DraveloDrive")}}}));
    const QFileInfo marker(volume() + QStringLiteral("/DVClient.config"));
    EXPECT_TRUE(marker.exists());
    EXPECT_EQ(marker.size(), 0);
    EXPECT_TRUE(printed.isEmpty());
    EXPECT_TRUE(inHome(QStringLiteral("early.pcf")));

    h.controller().watchPass();
    EXPECT_EQ(printed, QStringList{QStringLiteral("early.ppf")});
}

TEST_F(DropFolderWatcher, PairsOnTheVolumeAndInHomeAreMovedAndDispatchedWithTheLockOnlyForHome) {
    mountVolume();
    h.writeJob(volume(), QStringLiteral("from-volume"));
    h.writeJob(h.home(), QStringLiteral("from-home"));
    LogRecorder log;
    h.controller().watchPass();

    EXPECT_EQ(printed,
              (QStringList{QStringLiteral("from-volume.ppf"), QStringLiteral("from-home.ppf")}));
    EXPECT_EQ(lockHeldWhilePrinting, (QList<bool>{false, true}));
    for (const QString& name : {QStringLiteral("from-volume"), QStringLiteral("from-home")}) {
        EXPECT_FALSE(inHome(name + QStringLiteral(".pcf")));
        EXPECT_FALSE(QFile::exists(volume() + '/' + name + QStringLiteral(".ppf")));
        EXPECT_FALSE(staged(name + QStringLiteral(".pcf")));
    }
    const QString source = h.home() + QStringLiteral("/from-home.pcf");
    const QStringList expected{
        QStringLiteral("Found Dravelo Job File: from-home.pcf"),
        QStringLiteral("MoveFile (PCF) Source: ") + source,
        QStringLiteral("MoveFile (PCF) Target: ") + h.stagingFile(QStringLiteral("from-home.pcf")),
        QStringLiteral("Move Successful."),
        QStringLiteral("MoveFile (PPF) Source: ") + h.home() + QStringLiteral("/from-home.ppf"),
        QStringLiteral("MoveFile (PPF) Target: ") + h.stagingFile(QStringLiteral("from-home.ppf")),
        QStringLiteral("Move Successful.")};
    const QStringList lines = log.lines();
    const qsizetype first = lines.indexOf(expected.first());
    ASSERT_GE(first, 0) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.mid(first, expected.size()), expected);
}

TEST_F(DropFolderWatcher, TwoPairsInOneFolderAreBothDispatchedInOnePass) {
    mountVolume();
    h.writeJob(h.home(), QStringLiteral("one"));
    h.writeJob(h.home(), QStringLiteral("two"));
    h.controller().watchPass();
    printed.sort();
    EXPECT_EQ(printed, (QStringList{QStringLiteral("one.ppf"), QStringLiteral("two.ppf")}));
}

TEST_F(DropFolderWatcher, AConfigurationWithoutPrintDataIsDeleted) {
    mountVolume();
    writeFile(h.home() + QStringLiteral("/lonely.pcf"));
    LogRecorder log;
    h.controller().watchPass();
    EXPECT_TRUE(log.contains(QStringLiteral("PCF file found without PPF file present.")));
    EXPECT_FALSE(inHome(QStringLiteral("lonely.pcf")));
    EXPECT_TRUE(printed.isEmpty());
}

TEST_F(DropFolderWatcher, OnlyLowerCasePcfAtTheTopLevelIsAJob) {
    mountVolume();
    h.writeJob(h.home(), QStringLiteral("upper"));
    QFile::rename(h.home() + QStringLiteral("/upper.pcf"), h.home() + QStringLiteral("/upper.PCF"));
    QDir().mkpath(h.home() + QStringLiteral("/sub"));
    h.writeJob(h.home() + QStringLiteral("/sub"), QStringLiteral("nested"));
    h.writeJob(h.home(), QStringLiteral(".hidden"));
    h.controller().watchPass();
    EXPECT_EQ(printed, QStringList{QStringLiteral(".hidden.ppf")});
    EXPECT_TRUE(inHome(QStringLiteral("upper.PCF")));
    EXPECT_TRUE(inHome(QStringLiteral("sub/nested.pcf")));
}

TEST_F(DropFolderWatcher, AStaleConfigurationInStagingDelaysTheJobByOnePass) {
    mountVolume();
    writeFile(h.stagingFile(QStringLiteral("job.pcf")));
    h.writeJob(h.home(), QStringLiteral("job"));
    LogRecorder log;
    h.controller().watchPass();
    EXPECT_TRUE(log.contains(QStringLiteral("Move Failed.")));
    EXPECT_FALSE(staged(QStringLiteral("job.pcf")));
    EXPECT_TRUE(inHome(QStringLiteral("job.pcf")));
    EXPECT_TRUE(printed.isEmpty());

    h.controller().watchPass();
    EXPECT_EQ(printed, QStringList{QStringLiteral("job.ppf")});
}

TEST_F(DropFolderWatcher, AStalePrintDataFileInStagingStopsTheJobWithoutOverwritingIt) {
    mountVolume();
    writeFile(h.stagingFile(QStringLiteral("job.ppf")), "older");
    h.writeJob(h.home(), QStringLiteral("job"));
    h.controller().watchPass();
    EXPECT_TRUE(printed.isEmpty());
    EXPECT_TRUE(staged(QStringLiteral("job.pcf")));
    EXPECT_TRUE(inHome(QStringLiteral("job.ppf")));
    QFile stale(h.stagingFile(QStringLiteral("job.ppf")));
    ASSERT_TRUE(stale.open(QIODevice::ReadOnly));
    EXPECT_EQ(stale.readAll(), QByteArray("older"));
}

TEST_F(DropFolderWatcher, TurningTheSettingOffUnmountsAndStopsAllScanning) {
    mountVolume();
    h.setSetting(QStringLiteral("enableDriveMap"), QStringLiteral("no"));
    h.writeJob(h.home(), QStringLiteral("waiting"));
    h.controller().watchPass();
    EXPECT_EQ(h.diskImages.operations(), QStringList{QStringLiteral("forceDetach")});
    EXPECT_FALSE(QFile::exists(h.controller().driveMapImagePath()));

    h.controller().watchPass();
    EXPECT_TRUE(printed.isEmpty());
    EXPECT_TRUE(inHome(QStringLiteral("waiting.pcf")));
    EXPECT_EQ(h.diskImages.operations().size(), 1);

    h.setSetting(QStringLiteral("enableDriveMap"), QStringLiteral("yes"));
    h.controller().watchPass();
    EXPECT_TRUE(printed.isEmpty());
    h.controller().watchPass();
    EXPECT_EQ(printed, QStringList{QStringLiteral("waiting.ppf")});
}

TEST_F(DropFolderWatcher, NoMarkerIsWrittenWhenTheVolumeDidNotMount) {
    h.diskImages.setAttachSucceeds(false);
    h.controller().watchPass();
    EXPECT_FALSE(QFile::exists(volume() + QStringLiteral("/DVClient.config")));
}

TEST_F(DropFolderWatcher, NoImageMeansNoMountAndNoUnmount) {
    h.diskImages.setCreateSucceeds(false);
    h.controller().watchPass();
    EXPECT_EQ(h.diskImages.operations(), QStringList{QStringLiteral("createImage")});
    h.controller().disconnectDrivemap();
    EXPECT_EQ(h.diskImages.operations(), QStringList{QStringLiteral("createImage")});
}

TEST(DriveMapAtStart, AVolumeAndImageLeftByACrashAreRemovedBeforeIntakeStarts) {
    ControllerHarness h;
    QDir().mkpath(h.stagingPath());
    QFile image(h.stagingFile(QStringLiteral("drivemap.sparseimage")));
    ASSERT_TRUE(image.open(QIODevice::WriteOnly));
    image.close();
    h.controller().init();
    EXPECT_EQ(h.diskImages.operations(),
              (QStringList{QStringLiteral("cleanStaleMount"), QStringLiteral("forceDetach")}));
    EXPECT_FALSE(image.exists());

    h.diskImages.clearCalls();
    QFile again(h.stagingFile(QStringLiteral("drivemap.sparseimage")));
    ASSERT_TRUE(again.open(QIODevice::WriteOnly));
    again.close();
    h.controller().applicationEnding();
    EXPECT_EQ(h.diskImages.operations(), QStringList{QStringLiteral("forceDetach")});
    EXPECT_FALSE(again.exists());
}

} // namespace

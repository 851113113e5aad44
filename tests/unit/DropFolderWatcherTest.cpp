#include "support/ControllerHarness.h"
#include "support/LogRecorder.h"

#include "intake/DriveMapping.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <QThread>

#include <atomic>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

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
        h.controller().driveMapping().watchPass();
        h.diskImages.clearCalls();
    }
    QString volume() { return h.controller().driveMapping().driveMapMountPoint(); }
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
    h.controller().driveMapping().watchPass();

    const QString image = h.controller().driveMapping().driveMapImagePath();
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

    h.controller().driveMapping().watchPass();
    EXPECT_EQ(printed, QStringList{QStringLiteral("early.ppf")});
}

TEST_F(DropFolderWatcher, PairsOnTheVolumeAndInHomeAreMovedAndDispatchedWithTheLockOnlyForHome) {
    mountVolume();
    h.writeJob(volume(), QStringLiteral("from-volume"));
    h.writeJob(h.home(), QStringLiteral("from-home"));
    LogRecorder log;
    h.controller().driveMapping().watchPass();

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
    h.controller().driveMapping().watchPass();
    printed.sort();
    EXPECT_EQ(printed, (QStringList{QStringLiteral("one.ppf"), QStringLiteral("two.ppf")}));
}

TEST_F(DropFolderWatcher, AConfigurationWithoutPrintDataIsDeleted) {
    mountVolume();
    writeFile(h.home() + QStringLiteral("/lonely.pcf"));
    LogRecorder log;
    h.controller().driveMapping().watchPass();
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
    h.controller().driveMapping().watchPass();
    EXPECT_EQ(printed, QStringList{QStringLiteral(".hidden.ppf")});
    EXPECT_TRUE(inHome(QStringLiteral("upper.PCF")));
    EXPECT_TRUE(inHome(QStringLiteral("sub/nested.pcf")));
}

TEST_F(DropFolderWatcher, AJobWhoseNameIsTakenInStagingWaitsWithoutTouchingEither) {
    mountVolume();
    // A job of that name still open (its window, or its viewer copy).
    for (const QString& taken :
         {QStringLiteral("job.pcf"), QStringLiteral("job.ppf"), QStringLiteral("job.pdf")}) {
        writeFile(h.stagingFile(taken), "open job");
        h.writeJob(h.home(), QStringLiteral("job"));
        LogRecorder log;
        h.controller().driveMapping().watchPass();
        h.controller().driveMapping().watchPass();
        EXPECT_TRUE(printed.isEmpty()) << taken.toStdString();
        EXPECT_TRUE(inHome(QStringLiteral("job.pcf")) && inHome(QStringLiteral("job.ppf")));
        QFile open(h.stagingFile(taken));
        ASSERT_TRUE(open.open(QIODevice::ReadOnly));
        EXPECT_EQ(open.readAll(), QByteArray("open job"));
        EXPECT_EQ(log.lines().size(), 1) << log.lines().join('\n').toStdString();

        open.remove();
        h.controller().driveMapping().watchPass();
        EXPECT_EQ(printed, QStringList{QStringLiteral("job.ppf")}) << taken.toStdString();
        printed.clear();
    }
}

TEST_F(DropFolderWatcher, EntriesThatAreNotRegularFilesAreNeverTakenAndNotedOnce) {
    mountVolume();
    const QString home = h.home() + '/';
    writeFile(home + QStringLiteral("secret"), "private");
    h.writeJob(h.home(), QStringLiteral("linked-data"));
    QFile::remove(home + QStringLiteral("linked-data.ppf"));
    QFile::link(home + QStringLiteral("secret"), home + QStringLiteral("linked-data.ppf"));
    h.writeJob(h.home(), QStringLiteral("linked-config"));
    QFile::remove(home + QStringLiteral("linked-config.pcf"));
    QFile::link(home + QStringLiteral("secret"), home + QStringLiteral("linked-config.pcf"));
    h.writeJob(h.home(), QStringLiteral("fifo-data"));
    QFile::remove(home + QStringLiteral("fifo-data.ppf"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(home + QStringLiteral("fifo-data.ppf")), 0600), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(home + QStringLiteral("fifo-config.pcf")), 0600), 0);
    // A folder named like a configuration, without print data: not deleted.
    QDir().mkpath(home + QStringLiteral("folder.pcf"));
    writeFile(home + QStringLiteral("folder.pcf/kept"), "user's");
    h.writeJob(h.home(), QStringLiteral("good"));

    LogRecorder log;
    h.controller().driveMapping().watchPass();
    h.controller().driveMapping().watchPass();
    EXPECT_EQ(printed, QStringList{QStringLiteral("good.ppf")});
    for (const QString& name :
         {QStringLiteral("linked-data"), QStringLiteral("linked-config"),
          QStringLiteral("fifo-data"), QStringLiteral("fifo-config"), QStringLiteral("folder")}) {
        EXPECT_EQ(log.lines().filter(name + QStringLiteral(".pcf")).size(), 1)
            << name.toStdString() << '\n'
            << log.lines().join('\n').toStdString();
        EXPECT_TRUE(inHome(name + QStringLiteral(".pcf")) ||
                    QFileInfo(home + name + QStringLiteral(".pcf")).isSymLink());
        EXPECT_FALSE(staged(name + QStringLiteral(".pcf")));
    }
    EXPECT_TRUE(inHome(QStringLiteral("folder.pcf/kept")));
    EXPECT_TRUE(inHome(QStringLiteral("secret")));
}

// A file system that takes no more data: files above the size limit cannot
// be written, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST_F(DropFolderWatcher, AHalfMovedPairIsPutBackAndTakenWhenTheCauseIsGone) {
    // The volume on another file system, so its jobs are copied into staging.
    QTemporaryDir elsewhere(QStringLiteral("/dev/shm/dravelo-volume-XXXXXX"));
    ASSERT_TRUE(elsewhere.isValid());
    ASSERT_TRUE(QFile::link(elsewhere.path(), volume()));
    mountVolume();
    h.writeJob(volume(), QStringLiteral("big"));
    QFile printData(volume() + QStringLiteral("/big.ppf"));
    ASSERT_TRUE(printData.open(QIODevice::Append));
    printData.write(QByteArray(256 * 1024, '%'));
    printData.close();
    {
        FileSizeLimit full(64 * 1024);
        h.controller().driveMapping().watchPass();
    }
    EXPECT_TRUE(printed.isEmpty());
    EXPECT_TRUE(QFile::exists(volume() + QStringLiteral("/big.pcf")));
    EXPECT_TRUE(QFile::exists(volume() + QStringLiteral("/big.ppf")));
    EXPECT_FALSE(staged(QStringLiteral("big.pcf")) || staged(QStringLiteral("big.ppf")));

    h.controller().driveMapping().watchPass();
    EXPECT_EQ(printed, QStringList{QStringLiteral("big.ppf")});
    QFile::remove(volume());
}

TEST_F(DropFolderWatcher, TurningTheSettingOffUnmountsAndStopsAllScanning) {
    mountVolume();
    h.setSetting(QStringLiteral("enableDriveMap"), QStringLiteral("no"));
    h.writeJob(volume(), QStringLiteral("waiting"));
    h.controller().driveMapping().watchPass();
    EXPECT_EQ(h.diskImages.operations(), QStringList{QStringLiteral("forceDetach")});
    EXPECT_FALSE(QFile::exists(h.controller().driveMapping().driveMapImagePath()));
    // The volume's job was taken off before the unmount.
    EXPECT_TRUE(inHome(QStringLiteral("waiting.pcf")) && inHome(QStringLiteral("waiting.ppf")));

    h.controller().driveMapping().watchPass();
    EXPECT_TRUE(printed.isEmpty());
    EXPECT_TRUE(inHome(QStringLiteral("waiting.pcf")));
    EXPECT_EQ(h.diskImages.operations().size(), 1);

    h.setSetting(QStringLiteral("enableDriveMap"), QStringLiteral("yes"));
    h.controller().driveMapping().watchPass();
    EXPECT_TRUE(printed.isEmpty());
    h.controller().driveMapping().watchPass();
    EXPECT_EQ(printed, QStringList{QStringLiteral("waiting.ppf")});
}

TEST_F(DropFolderWatcher, NoMarkerIsWrittenWhenTheVolumeDidNotMount) {
    h.diskImages.setAttachResult(FakeDiskImageTool::AttachResult::Failed);
    h.controller().driveMapping().watchPass();
    EXPECT_FALSE(QFile::exists(volume() + QStringLiteral("/DVClient.config")));
}

TEST_F(DropFolderWatcher, NoImageMeansNoMountAndNoUnmount) {
    h.diskImages.setCreateSucceeds(false);
    h.controller().driveMapping().watchPass();
    EXPECT_EQ(h.diskImages.operations(), QStringList{QStringLiteral("createImage")});
    h.controller().driveMapping().disconnectDrivemap();
    EXPECT_EQ(h.diskImages.operations(), QStringList{QStringLiteral("createImage")});
}

TEST_F(DropFolderWatcher, AMountPointInUseIsReportedOnceAndNeverScanned) {
    h.diskImages.setAttachResult(FakeDiskImageTool::AttachResult::MountPointInUse);
    QDir().mkpath(volume());
    h.writeJob(volume(), QStringLiteral("users-own"));
    h.controller().driveMapping().watchPass();
    h.controller().driveMapping().watchPass();
    h.setSetting(QStringLiteral("enableDriveMap"), QStringLiteral("no"));
    h.controller().driveMapping().watchPass();
    h.setSetting(QStringLiteral("enableDriveMap"), QStringLiteral("yes"));
    h.controller().driveMapping().watchPass();
    QCoreApplication::processEvents();
    EXPECT_EQ(h.notifications.size(), 1) << h.notifications.join('\n').toStdString();
    EXPECT_TRUE(printed.isEmpty());
    EXPECT_TRUE(QFile::exists(volume() + QStringLiteral("/users-own.pcf")));
}

// The jobs still on the volume at quit go home before its image goes, even
// when the watcher waited for the job lock in a pass it gives up.
TEST_F(DropFolderWatcher, QuitTakesTheVolumesJobsHomeAndNeverWaitsForTheJobLock) {
    mountVolume();
    h.writeJob(volume(), QStringLiteral("late"));
    h.writeJob(h.home(), QStringLiteral("in-home"));
    // The volume's pair is in use in staging, so the pass leaves it there.
    writeFile(h.stagingFile(QStringLiteral("late.pdf")), "viewer copy");
    LogRecorder log;
    h.controller().jobLock().lock();
    std::atomic<bool> passEnded = false;
    std::thread pass([&] {
        h.controller().driveMapping().watchPass();
        passEnded = true;
    });
    QThread::msleep(50);
    EXPECT_FALSE(passEnded);
    h.controller().applicationEnding();
    pass.join();
    h.controller().jobLock().unlock();

    EXPECT_TRUE(printed.isEmpty());
    for (const QString& name : {QStringLiteral("late.pcf"), QStringLiteral("late.ppf"),
                                QStringLiteral("in-home.pcf"), QStringLiteral("in-home.ppf")}) {
        EXPECT_TRUE(inHome(name)) << name.toStdString();
    }
    EXPECT_EQ(log.lines().filter(QStringLiteral("was moved to")),
              QStringList{
                  QStringLiteral("Job late.pcf from %1 was moved to %2.").arg(volume(), h.home())});
    EXPECT_FALSE(QFile::exists(h.controller().driveMapping().driveMapImagePath()));
}

TEST(DriveMapAtStart, JobsOnAVolumeLeftByACrashGoHomeBeforeItsImageIsRemoved) {
    ControllerHarness h;
    QDir().mkpath(h.stagingPath());
    QFile image(h.stagingFile(QStringLiteral("drivemap.sparseimage")));
    ASSERT_TRUE(image.open(QIODevice::WriteOnly));
    image.close();
    const QString volume = h.controller().driveMapping().driveMapMountPoint();
    QDir().mkpath(volume);
    h.writeJob(volume, QStringLiteral("left"));
    QFile lonely(volume + QStringLiteral("/lonely.ppf"));
    ASSERT_TRUE(lonely.open(QIODevice::WriteOnly));
    lonely.close();
    h.controller().init();
    EXPECT_EQ(h.diskImages.operations(),
              (QStringList{QStringLiteral("cleanStaleMount"), QStringLiteral("attachImage"),
                           QStringLiteral("forceDetach")}));
    EXPECT_FALSE(image.exists());
    EXPECT_TRUE(QFile::exists(h.home() + QStringLiteral("/left.pcf")));
    EXPECT_TRUE(QFile::exists(h.home() + QStringLiteral("/left.ppf")));

    h.diskImages.clearCalls();
    QFile again(h.stagingFile(QStringLiteral("drivemap.sparseimage")));
    ASSERT_TRUE(again.open(QIODevice::WriteOnly));
    again.close();
    h.controller().applicationEnding();
    EXPECT_EQ(h.diskImages.operations(), QStringList{QStringLiteral("forceDetach")});
    EXPECT_FALSE(again.exists());
}

} // namespace

#include "platform/core/Log.h"
#include "platform/files/FileManager.h"
#include "platform/files/FuseDiskImageTool.h"
#include "platform/files/MountTable.h"
#include "platform/process/TiedChildProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <mutex>
#include <string_view>
#include <thread>

using namespace dravelo;
using namespace std::chrono_literals;

namespace {

constexpr qint64 imageSize = 384LL * 1024 * 1024;
const QString volumeName = QStringLiteral("DraveloDrive");
constexpr std::string_view attachAndWaitOption = "--attach-and-wait";

// Polls `condition` until it holds or `timeout` passes (a guard against
// hangs, not a timing requirement).
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        QThread::msleep(20);
    }
    return true;
}

QStringList commandLineOf(const QString& pid) {
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QStringList arguments;
    for (const QByteArray& part : file.readAll().split('\0')) {
        arguments << QFile::decodeName(part);
    }
    return arguments;
}

// Child processes of ours, zombies included.
QList<pid_t> childProcesses() {
    QList<pid_t> children;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& pid : pids) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        // "PID (COMM) STATE PPID ...": COMM may hold spaces, so parse after ')'.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toInt() == ::getpid()) {
            children << pid.toInt();
        }
    }
    return children;
}

// Processes running fuse2fs on `imagePath`, wherever they came from.
QList<pid_t> fuse2fsServing(const QString& imagePath) {
    QList<pid_t> servers;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& pid : pids) {
        const QStringList arguments = commandLineOf(pid);
        if (arguments.size() > 1 && arguments.at(0).endsWith(QStringLiteral("fuse2fs")) &&
            arguments.at(1) == imagePath) {
            servers << pid.toInt();
        }
    }
    return servers;
}

bool attached(DiskImageTool::AttachResult result) {
    return result == DiskImageTool::AttachResult::Attached;
}

int statError(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? 0 : errno;
}

QByteArray readFile(const QString& path, qint64 maxSize = 1024 * 1024) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(maxSize) : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& contents) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

// Stands in for a client: attaches the image, then waits to be killed.
int attachAndWait(const QString& imagePath, const QString& mountPoint) {
    FuseDiskImageTool tool;
    if (!attached(tool.attachImage(imagePath, mountPoint))) {
        return 1;
    }
    for (;;) {
        ::pause();
    }
}

class DiskImageToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral(".dravelo")));
        image = home.filePath(QStringLiteral(".dravelo/drivemap.img"));
        mountPoint = home.filePath(QStringLiteral("DraveloDrive"));
        Log::setSink([this](const QString& line) {
            std::lock_guard lock(linesMutex);
            lines << line;
        });
    }

    void TearDown() override {
        // Never leave a volume mounted inside the temporary folder.
        const QString fusermount = QStandardPaths::findExecutable(QStringLiteral("fusermount3"));
        for (const QString& path : {mountPoint, mountPoint + QStringLiteral("/inner")}) {
            if (MountTable::hasFuseMountAt(path)) {
                TiedChildProcess::run(fusermount,
                                      {QStringLiteral("-u"), QStringLiteral("-z"), path}, 10s);
            }
        }
        Log::setSink({});
    }

    QStringList logLines() {
        std::lock_guard lock(linesMutex);
        return lines;
    }

    qsizetype logLinesContaining(const QString& text) { return logLines().filter(text).size(); }

    // A space in the path: the mount table escapes it.
    QTemporaryDir home{QDir::tempPath() + QStringLiteral("/diskimage home-XXXXXX")};
    QString image;
    QString mountPoint;

private:
    std::mutex linesMutex;
    QStringList lines;
};

// Tests that need real FUSE mounts; skipped where this machine cannot
// mount (the tool then reports PlainDirectory mode).
class FuseVolumeTest : public DiskImageToolTest {
protected:
    void SetUp() override {
        DiskImageToolTest::SetUp();
        tool = std::make_unique<FuseDiskImageTool>();
        if (tool->mode() != DiskImageTool::Mode::FuseVolume) {
            GTEST_SKIP() << "FUSE mounts are not possible here (the FUSE device cannot be "
                            "opened, or fuse2fs, fusermount3 or mkfs.ext4 is missing) "
                         << logLines().join(QLatin1Char(' ')).toStdString();
        }
    }

    // Creates the image and attaches it; skips when the mount is refused.
    void attachNewImage() {
        ASSERT_TRUE(tool->createImage(image, imageSize, volumeName));
        ASSERT_TRUE(attached(tool->attachImage(image, mountPoint)));
        if (tool->mode() != DiskImageTool::Mode::FuseVolume) {
            GTEST_SKIP() << "FUSE mounts are refused here: "
                         << logLines().join(QLatin1Char(' ')).toStdString();
        }
    }

    void expectDetachedWithoutChildren() {
        EXPECT_FALSE(MountTable::hasFuseMountAt(mountPoint));
        EXPECT_EQ(statError(mountPoint), 0);
        EXPECT_EQ(childProcesses(), QList<pid_t>());
        EXPECT_EQ(fuse2fsServing(image), QList<pid_t>());
    }

    std::unique_ptr<FuseDiskImageTool> tool;
};

TEST_F(FuseVolumeTest, CreatesAnOwnerOnlySparseExt4ImageAndRefusesAnExistingFile) {
    ASSERT_TRUE(tool->createImage(image, imageSize, volumeName));

    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(image).constData(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(info.st_size, imageSize);
    EXPECT_LT(info.st_blocks * 512, 16 * 1024 * 1024) << "the image is not sparse";

    // The ext4 superblock starts at byte 1024: magic at 0x38, label at 0x78.
    const QByteArray superblock = readFile(image).mid(1024, 1024);
    EXPECT_EQ(static_cast<quint8>(superblock.at(0x38)), 0x53);
    EXPECT_EQ(static_cast<quint8>(superblock.at(0x39)), 0xEF);
    EXPECT_EQ(QString::fromLatin1(superblock.mid(0x78, 16).constData()), volumeName);

    const QString other = home.filePath(QStringLiteral(".dravelo/other.img"));
    ASSERT_TRUE(writeFile(other, "keep me"));
    EXPECT_FALSE(tool->createImage(other, imageSize, volumeName));
    EXPECT_FALSE(tool->createImage(image, imageSize, volumeName));
    EXPECT_EQ(readFile(other), QByteArray("keep me"));
    EXPECT_EQ(QFileInfo(image).size(), imageSize);
    EXPECT_EQ(logLinesContaining(QStringLiteral("not created: File exists")), 2);
}

TEST_F(FuseVolumeTest, RemovesTheImageWhenFormattingFails) {
    EXPECT_FALSE(tool->createImage(image, 4096, volumeName));
    EXPECT_FALSE(QFileInfo::exists(image));
    EXPECT_EQ(logLinesContaining(QStringLiteral("Formatting the disk image")), 1);
}

TEST_F(FuseVolumeTest, AttachMountsTheVolumeAndDetachUnmountsItLeavingNoProcess) {
    ASSERT_TRUE(tool->createImage(image, imageSize, volumeName));
    // Attach from a thread that ends before the volume is used: the mount
    // must outlive the thread that asked for it.
    bool didAttach = false;
    std::thread([&] { didAttach = attached(tool->attachImage(image, mountPoint)); }).join();
    ASSERT_TRUE(didAttach);
    if (tool->mode() != DiskImageTool::Mode::FuseVolume) {
        GTEST_SKIP() << "FUSE mounts are refused here";
    }

    EXPECT_TRUE(MountTable::hasFuseMountAt(mountPoint));
    EXPECT_EQ(QDir(mountPoint).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList());
    EXPECT_FALSE(QFileInfo(mountPoint).permissions().testFlag(QFile::ReadOther));
    const QString job = mountPoint + QStringLiteral("/job.pcf");
    ASSERT_TRUE(writeFile(job, "on the volume"));

    tool->forceDetach(mountPoint);
    expectDetachedWithoutChildren();
    EXPECT_FALSE(QFileInfo::exists(job));

    // The file went to the image: attaching it again brings it back.
    ASSERT_TRUE(attached(tool->attachImage(image, mountPoint)));
    EXPECT_TRUE(MountTable::hasFuseMountAt(mountPoint));
    EXPECT_EQ(readFile(job), QByteArray("on the volume"));
    tool->forceDetach(mountPoint);
    expectDetachedWithoutChildren();
}

// Jobs are read off the volume and deleted at once; on a FUSE volume that
// can reach the server before it learns of the close, and the file must
// still be gone rather than kept as a hidden leftover that fills the volume.
TEST_F(FuseVolumeTest, FilesMovedOffTheVolumeLeaveNothingBehind) {
    ASSERT_NO_FATAL_FAILURE(attachNewImage());
    if (IsSkipped()) {
        return;
    }
    const QString elsewhere = home.filePath(QStringLiteral("moved"));
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    const QByteArray content(64 * 1024, 'j');
    for (int i = 0; i < 50; ++i) {
        const QString name = QStringLiteral("/job%1.ppf").arg(i);
        ASSERT_TRUE(writeFile(mountPoint + name, content));
        ASSERT_TRUE(FileManager::moveItem(mountPoint + name, elsewhere + name));
    }

    EXPECT_EQ(QDir(mountPoint).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList());
    EXPECT_EQ(QDir(elsewhere).count() - 2, 50u);
    tool->forceDetach(mountPoint);
    expectDetachedWithoutChildren();
}

TEST_F(FuseVolumeTest, DetachesABusyVolumeLazily) {
    ASSERT_NO_FATAL_FAILURE(attachNewImage());
    if (IsSkipped()) {
        return;
    }
    const QString held = mountPoint + QStringLiteral("/held.pcf");
    const int fd = ::open(QFile::encodeName(held).constData(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);

    tool->forceDetach(mountPoint);
    ::close(fd);

    expectDetachedWithoutChildren();
    EXPECT_EQ(logLinesContaining(QStringLiteral("detaching it lazily")), 1);
}

TEST_F(FuseVolumeTest, CleansTheDeadMountOfACrashedServer) {
    ASSERT_NO_FATAL_FAILURE(attachNewImage());
    if (IsSkipped()) {
        return;
    }
    const QList<pid_t> servers = fuse2fsServing(image);
    ASSERT_EQ(servers.size(), 1);
    ASSERT_EQ(::kill(servers.first(), SIGKILL), 0);
    ASSERT_TRUE(eventually([&] { return statError(mountPoint) == ENOTCONN; }));
    // The killed child is reaped, not left a zombie.
    EXPECT_TRUE(eventually([] { return childProcesses().isEmpty(); }));

    FuseDiskImageTool nextRun;
    nextRun.cleanStaleMount(mountPoint);
    EXPECT_FALSE(MountTable::hasFuseMountAt(mountPoint));
    EXPECT_EQ(statError(mountPoint), 0);

    ASSERT_TRUE(attached(nextRun.attachImage(image, mountPoint)));
    EXPECT_TRUE(MountTable::hasFuseMountAt(mountPoint));
    nextRun.forceDetach(mountPoint);
    expectDetachedWithoutChildren();
}

TEST_F(FuseVolumeTest, CleansTheLiveMountOfAnEarlierRunButNothingBelowIt) {
    ASSERT_TRUE(tool->createImage(image, imageSize, volumeName));
    ASSERT_TRUE(QDir().mkdir(mountPoint));
    TiedChildProcess earlierRun;
    ASSERT_TRUE(earlierRun.start(QStandardPaths::findExecutable(QStringLiteral("fuse2fs")),
                                 {image, mountPoint, QStringLiteral("-f")}));
    ASSERT_TRUE(eventually([&] { return MountTable::hasFuseMountAt(mountPoint); }));

    // A folder on the volume is no mount point of its own.
    const QString inner = mountPoint + QStringLiteral("/inner");
    ASSERT_TRUE(QDir().mkdir(inner));
    tool->cleanStaleMount(inner);
    EXPECT_TRUE(MountTable::hasFuseMountAt(mountPoint));

    tool->cleanStaleMount(mountPoint);
    EXPECT_FALSE(MountTable::hasFuseMountAt(mountPoint));
    EXPECT_TRUE(earlierRun.waitForExit(10s));
}

TEST_F(FuseVolumeTest, AttachOfAnUnusableImageFailsWithoutLeavingAProcess) {
    ASSERT_TRUE(writeFile(image, QByteArray(64 * 1024, '\0')));
    EXPECT_FALSE(attached(tool->attachImage(image, mountPoint)));
    EXPECT_EQ(tool->mode(), DiskImageTool::Mode::FuseVolume);
    EXPECT_EQ(logLinesContaining(QStringLiteral("could not use the disk image")), 1);
    expectDetachedWithoutChildren();
}

TEST_F(FuseVolumeTest, TheVolumeGoesAwayWhenItsClientIsKilled) {
    ASSERT_TRUE(tool->createImage(image, imageSize, volumeName));
    TiedChildProcess client;
    ASSERT_TRUE(client.start(QStringLiteral("/proc/self/exe"),
                             {QString::fromLatin1(attachAndWaitOption.data()), image, mountPoint}));
    ASSERT_TRUE(eventually([&] { return MountTable::hasFuseMountAt(mountPoint); }));
    const QList<pid_t> servers = fuse2fsServing(image);
    ASSERT_EQ(servers.size(), 1);

    ASSERT_EQ(::kill(*client.pid(), SIGKILL), 0);
    ASSERT_TRUE(client.waitForExit(10s));

    EXPECT_TRUE(eventually([&] { return fuse2fsServing(image).isEmpty(); }));
    EXPECT_TRUE(eventually([&] { return !MountTable::hasFuseMountAt(mountPoint); }));
}

TEST_F(DiskImageToolTest, WithoutFuseTheMountPointIsAPlainDirectoryThatDetachEmpties) {
    FuseDiskImageTool tool(home.filePath(QStringLiteral("no-such-fuse-device")));
    EXPECT_EQ(tool.mode(), DiskImageTool::Mode::PlainDirectory);

    ASSERT_TRUE(tool.createImage(image, imageSize, volumeName));
    EXPECT_EQ(QFileInfo(image).size(), imageSize);
    EXPECT_FALSE(tool.createImage(image, imageSize, volumeName));

    ASSERT_TRUE(attached(tool.attachImage(image, mountPoint)));
    EXPECT_TRUE(QFileInfo(mountPoint).isDir());
    EXPECT_FALSE(MountTable::hasFuseMountAt(mountPoint));
    EXPECT_FALSE(
        QFileInfo(mountPoint).permissions().testAnyFlags(QFile::ReadGroup | QFile::ReadOther));

    const QString outside = home.filePath(QStringLiteral("outside.txt"));
    ASSERT_TRUE(writeFile(outside, "not ours"));
    ASSERT_TRUE(writeFile(mountPoint + QStringLiteral("/job.pcf"), "pcf"));
    ASSERT_TRUE(writeFile(mountPoint + QStringLiteral("/.hidden"), "hidden"));
    ASSERT_TRUE(QDir().mkpath(mountPoint + QStringLiteral("/folder/nested")));
    ASSERT_TRUE(writeFile(mountPoint + QStringLiteral("/folder/nested/file"), "deep"));
    ASSERT_TRUE(QFile::link(home.path(), mountPoint + QStringLiteral("/link-to-home")));
    ASSERT_TRUE(QFile::link(outside, mountPoint + QStringLiteral("/link-to-file")));

    tool.forceDetach(mountPoint);
    EXPECT_TRUE(QFileInfo(mountPoint).isDir());
    EXPECT_EQ(QDir(mountPoint)
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              QStringList());
    EXPECT_EQ(readFile(outside), QByteArray("not ours"));
    EXPECT_TRUE(QFileInfo::exists(image));

    ASSERT_TRUE(attached(tool.attachImage(image, mountPoint)));
    EXPECT_EQ(logLinesContaining(QStringLiteral("is a plain directory")), 1);
}

// Without FUSE too, the tool uses, and empties, only a folder it made or
// found empty (the system tests cover FUSE mounts).
TEST_F(DiskImageToolTest, AnOccupiedMountPointIsLeftAloneWithoutFuse) {
    FuseDiskImageTool tool(home.filePath(QStringLiteral("no-such-fuse-device")));
    ASSERT_TRUE(tool.createImage(image, imageSize, volumeName));
    const QString holder = home.filePath(QStringLiteral("holder"));
    ASSERT_TRUE(QDir().mkpath(holder));
    ASSERT_TRUE(writeFile(holder + QStringLiteral("/own.txt"), "the user's"));
    for (const bool asLink : {false, true}) {
        ASSERT_TRUE(asLink ? QFile::link(holder, mountPoint) : QDir().rename(holder, mountPoint));
        EXPECT_EQ(tool.attachImage(image, mountPoint),
                  DiskImageTool::AttachResult::MountPointInUse);
        tool.forceDetach(mountPoint);
        EXPECT_EQ(readFile(mountPoint + QStringLiteral("/own.txt")), QByteArray("the user's"));
        ASSERT_TRUE(asLink ? QFile::remove(mountPoint) : QDir().rename(mountPoint, holder));
    }
    EXPECT_EQ(logLinesContaining(QStringLiteral("left alone")), 2);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && argv[1] == attachAndWaitOption) {
        return attachAndWait(QFile::decodeName(argv[2]), QFile::decodeName(argv[3]));
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

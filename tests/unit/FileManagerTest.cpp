#include "platform/files/FileManager.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>

using dravelo::FileManager;

namespace {

void write(const QString& path, const QByteArray& contents) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

QByteArray read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

dev_t deviceOf(const QString& path) {
    struct stat info = {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_dev;
}

TEST(FileManager, AMoveNeverReplacesWhatIsAtTheTarget) {
    QTemporaryDir dir;
    write(dir.filePath("a"), "new");
    write(dir.filePath("b"), "old");
    EXPECT_FALSE(FileManager::moveItem(dir.filePath("a"), dir.filePath("b")));
    EXPECT_EQ(read(dir.filePath("a")), "new");
    EXPECT_EQ(read(dir.filePath("b")), "old");

    QDir().mkpath(dir.filePath("folder"));
    EXPECT_FALSE(FileManager::moveItem(dir.filePath("a"), dir.filePath("folder")));
    EXPECT_TRUE(FileManager::moveItem(dir.filePath("a"), dir.filePath("c")));
    EXPECT_EQ(read(dir.filePath("c")), "new");
    EXPECT_FALSE(QFile::exists(dir.filePath("a")));
}

TEST(FileManager, AReplacementTakesTheLinksPlaceInsteadOfWritingThroughIt) {
    QTemporaryDir dir;
    write(dir.filePath("elsewhere"), "keep");
    QFile::link(dir.filePath("elsewhere"), dir.filePath("job.ppf"));
    write(dir.filePath("new"), "body");
    ASSERT_TRUE(FileManager::replaceItem(dir.filePath("new"), dir.filePath("job.ppf")));
    EXPECT_FALSE(QFileInfo(dir.filePath("job.ppf")).isSymLink());
    EXPECT_EQ(read(dir.filePath("job.ppf")), "body");
    EXPECT_EQ(read(dir.filePath("elsewhere")), "keep");
}

TEST(FileManager, AMoveToAnotherFileSystemCopiesThenDeletes) {
    QTemporaryDir here;
    QTemporaryDir there(QStringLiteral("/dev/shm/dravelo-test-XXXXXX"));
    if (!there.isValid() || deviceOf(here.path()) == deviceOf(there.path())) {
        GTEST_SKIP() << "no second file system to move to";
    }
    QByteArray big(3 * 1024 * 1024 + 17, 'x');
    big[12345] = 'y';
    write(here.filePath("job.ppf"), big);
    ::chmod(QFile::encodeName(here.filePath("job.ppf")).constData(), 0600);
    ASSERT_TRUE(FileManager::moveItem(here.filePath("job.ppf"), there.filePath("job.ppf")));
    EXPECT_EQ(read(there.filePath("job.ppf")), big);
    EXPECT_FALSE(QFile::exists(here.filePath("job.ppf")));
    struct stat info = {};
    ::stat(QFile::encodeName(there.filePath("job.ppf")).constData(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    write(here.filePath("job.ppf"), "second");
    EXPECT_FALSE(FileManager::moveItem(here.filePath("job.ppf"), there.filePath("job.ppf")));
    EXPECT_EQ(read(there.filePath("job.ppf")), big);
    EXPECT_EQ(read(here.filePath("job.ppf")), "second");
}

TEST(FileManager, RemovingAndEmptyingNeverReachThroughALink) {
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("kept/inner"));
    write(dir.filePath("kept/file"), "x");
    write(dir.filePath("kept/inner/file"), "x");
    QFile::link(dir.filePath("kept"), dir.filePath("link"));
    EXPECT_FALSE(FileManager::emptyDirectory(dir.filePath("link")));
    EXPECT_TRUE(QFile::exists(dir.filePath("kept/file")));

    QDir().mkpath(dir.filePath("made/deep/deeper"));
    write(dir.filePath("made/deep/deeper/file"), "x");
    QFile::link(dir.filePath("kept"), dir.filePath("made/deep/link"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("made/fifo")).constData(), 0600), 0);
    EXPECT_TRUE(FileManager::emptyDirectory(dir.filePath("made")));
    EXPECT_TRUE(QDir(dir.filePath("made")).isEmpty());
    EXPECT_TRUE(QFile::exists(dir.filePath("kept/inner/file")));

    EXPECT_TRUE(FileManager::removeItem(dir.filePath("link")));
    EXPECT_TRUE(QFile::exists(dir.filePath("kept/file")));
    EXPECT_TRUE(FileManager::removeItem(dir.filePath("kept")));
    EXPECT_FALSE(QFile::exists(dir.filePath("kept")));
}

TEST(FileManager, ACrossFileSystemMoveRefusesWhatIsNoRegularFile) {
    QTemporaryDir here;
    QTemporaryDir there(QStringLiteral("/dev/shm/dravelo-test-XXXXXX"));
    if (!there.isValid() || deviceOf(here.path()) == deviceOf(there.path())) {
        GTEST_SKIP() << "no second file system to move to";
    }
    // A FIFO would block the open for good without a writer.
    ASSERT_EQ(::mkfifo(QFile::encodeName(here.filePath("job.ppf")).constData(), 0600), 0);
    EXPECT_FALSE(FileManager::moveItem(here.filePath("job.ppf"), there.filePath("job.ppf")));
    write(here.filePath("secret"), "private");
    QFile::link(here.filePath("secret"), here.filePath("link.ppf"));
    EXPECT_FALSE(FileManager::moveItem(here.filePath("link.ppf"), there.filePath("link.ppf")));
    EXPECT_TRUE(QDir(there.path()).isEmpty());
}

} // namespace

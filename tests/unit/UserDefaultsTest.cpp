#include "platform/core/UserDefaults.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QThread>

using dravelo::UserDefaults;

namespace {

class UserDefaultsTest : public ::testing::Test {
protected:
    // Replaces the whole file, as an editor in another process would.
    void writeFile(const QByteArray& contents) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents);
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("dravelo.conf"));
};

TEST_F(UserDefaultsTest, BooleanReadsAcceptWhatTheStoreAccepts) {
    writeFile("[General]\na=yes\nb=YES\nc=true\nd=1\ne=no\nf=0\ng=maybe\nh=NO\n");
    UserDefaults defaults(path);
    for (const char* key : {"a", "b", "c", "d"}) {
        EXPECT_TRUE(defaults.boolForKey(QString::fromLatin1(key))) << key;
    }
    for (const char* key : {"e", "f", "g", "h", "missing"}) {
        EXPECT_FALSE(defaults.boolForKey(QString::fromLatin1(key))) << key;
    }
}

TEST_F(UserDefaultsTest, RegisteredDefaultsAnswerOnlyForKeysWithoutAStoredValue) {
    writeFile("[General]\nactionPrintJob=Print directly to printer\n");
    UserDefaults defaults(path);
    defaults.registerDefaults(
        {{QStringLiteral("actionPrintJob"), QStringLiteral("Preview print job")},
         {QStringLiteral("enableDriveMap"), QStringLiteral("yes")}});
    EXPECT_EQ(defaults.stringForKey(QStringLiteral("actionPrintJob")),
              QStringLiteral("Print directly to printer"));
    EXPECT_TRUE(defaults.boolForKey(QStringLiteral("enableDriveMap")));
    EXPECT_EQ(defaults.stringForKey(QStringLiteral("clientName")), std::nullopt);

    defaults.setInteger(QStringLiteral("NSRecentDocumentsLimit"), 0);
    defaults.synchronize();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    EXPECT_FALSE(written.contains("enableDriveMap")) << written.constData();
    EXPECT_TRUE(written.contains("NSRecentDocumentsLimit=0")) << written.constData();
}

TEST_F(UserDefaultsTest, EmptyAndMissingStringsDiffer) {
    writeFile("[General]\nserviceUrl=\n");
    UserDefaults defaults(path);
    EXPECT_EQ(defaults.stringForKey(QStringLiteral("serviceUrl")), QString());
    EXPECT_EQ(defaults.stringForKey(QStringLiteral("clientName")), std::nullopt);
}

TEST_F(UserDefaultsTest, AValueWithCommasStaysOneText) {
    writeFile("[General]\nclientName=\"Desk, second floor\"\nserviceUrl=a, b\n");
    UserDefaults defaults(path);
    EXPECT_EQ(defaults.stringForKey(QStringLiteral("clientName")),
              QStringLiteral("Desk, second floor"));
    EXPECT_EQ(defaults.stringForKey(QStringLiteral("serviceUrl")), QStringLiteral("a, b"));
}

TEST_F(UserDefaultsTest, SeesChangesAnotherProcessWritesWhileRunning) {
    writeFile("[General]\nenableDriveMap=yes\nactionPrintJob=Preview print job\n");
    UserDefaults defaults(path);
    EXPECT_TRUE(defaults.boolForKey(QStringLiteral("enableDriveMap")));

    writeFile("[General]\nenableDriveMap=no\nactionPrintJob=Preview print job\n");
    EXPECT_FALSE(defaults.boolForKey(QStringLiteral("enableDriveMap")));

    // A change that keeps the file's size is seen too, once its time moved.
    QThread::msleep(20);
    writeFile("[General]\nenableDriveMap=no\nactionPrintJob=Preview print jab\n");
    EXPECT_EQ(defaults.stringForKey(QStringLiteral("actionPrintJob")),
              QStringLiteral("Preview print jab"));

    // Our own write does not hide the outside change that came before it.
    QThread::msleep(20);
    writeFile("[General]\nenableDriveMap=yes\n");
    defaults.setInteger(QStringLiteral("NSRecentDocumentsLimit"), 0);
    defaults.synchronize();
    EXPECT_TRUE(defaults.boolForKey(QStringLiteral("enableDriveMap")));
}

TEST_F(UserDefaultsTest, AMissingFileReadsAsNoSettings) {
    UserDefaults defaults(dir.filePath(QStringLiteral("sub/dir/dravelo.conf")));
    EXPECT_EQ(defaults.stringForKey(QStringLiteral("actionPrintJob")), std::nullopt);
    EXPECT_FALSE(defaults.boolForKey(QStringLiteral("enableClipboard")));
    defaults.setInteger(QStringLiteral("NSRecentDocumentsLimit"), 0);
    defaults.synchronize();
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("sub/dir/dravelo.conf"))));
}

} // namespace

#include "support/ControllerHarness.h"
#include "support/LogRecorder.h"

#include "intake/Clipboard.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

using dravelo::InMemoryPasteboard;
using dravelo::test::ControllerHarness;
using dravelo::test::FakeTaskRunner;
using dravelo::test::LogRecorder;

namespace {

const QString signature = QStringLiteral("\u0005\u0009\u0006\u0008\u0007");
const QString utf8Type = QStringLiteral("public.utf8-plain-text");

// One poll at a time against an in-memory clipboard. Jobs are dispatched
// under "Print directly to printer": each print command records the job's
// path and what its two files held at that moment.
class ClipboardChannel : public ::testing::Test {
protected:
    struct Dispatch {
        QString printDataPath;
        QByteArray configuration;
        QByteArray printData;
    };

    void SetUp() override {
        h.setSetting(QStringLiteral("enableClipboard"), QStringLiteral("yes"));
        h.setSetting(QStringLiteral("actionPrintJob"), QStringLiteral("Print directly to printer"));
        h.controller().setupUserDefaults();
        QDir().mkpath(h.stagingPath());
        h.tasks.onRun([this](const FakeTaskRunner::Call& call) {
            const QString printData = call.arguments.value(0);
            dispatched.append({printData,
                               read(QFileInfo(printData).path() + '/' +
                                    QFileInfo(printData).completeBaseName() + ".pcf"),
                               read(printData)});
        });
    }

    static QByteArray read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    void put(const QString& text) { h.pasteboard.replaceWithText(utf8Type, text); }
    void poll() { h.controller().clipboard().pollPasteboard(); }
    QStringList stagingEntries() const {
        return QDir(h.stagingPath()).entryList(QDir::Files | QDir::Hidden);
    }
    bool clipboardCleared() const {
        const auto contents = h.pasteboard.contents();
        return contents.size() == 1 && contents.first().text == QString(QChar(0));
    }

    ControllerHarness h;
    QList<Dispatch> dispatched;
};

TEST_F(ClipboardChannel, AJobMessageBecomesAStagedPairThatIsDispatchedAndTheClipboardCleared) {
    put(signature + QStringLiteral("a.ppf|QUJDx|SGk="));
    poll();
    ASSERT_EQ(dispatched.size(), 1);
    EXPECT_EQ(dispatched[0].printDataPath, h.stagingFile(QStringLiteral("a.ppf")));
    EXPECT_EQ(dispatched[0].configuration, QByteArray("ABC"));
    EXPECT_EQ(dispatched[0].printData, QByteArray("Hi"));
    EXPECT_TRUE(clipboardCleared());

    LogRecorder log;
    poll();
    EXPECT_TRUE(log.lines().isEmpty()) << "the clearing is not taken for a new change";
}

TEST_F(ClipboardChannel, TheConfigurationFieldsLastCharacterIsNeverDecoded) {
    put(signature + QStringLiteral("b.ppf|QUJD|SGk="));
    poll();
    ASSERT_EQ(dispatched.size(), 1);
    EXPECT_EQ(dispatched[0].configuration, QByteArray("AB"));
}

TEST_F(ClipboardChannel, ANameWithoutExtensionAndAnEmptyPrintDataFieldStillWriteAndDispatch) {
    put(signature + QStringLiteral("job|QUJDx|"));
    poll();
    ASSERT_EQ(dispatched.size(), 1);
    EXPECT_EQ(dispatched[0].printDataPath, h.stagingFile(QStringLiteral("job.ppf")));
    EXPECT_EQ(dispatched[0].configuration, QByteArray("ABC"));
    EXPECT_TRUE(QFile::exists(h.stagingFile(QStringLiteral("job"))));
    EXPECT_EQ(read(h.stagingFile(QStringLiteral("job"))), QByteArray());
}

TEST_F(ClipboardChannel, AFieldThatIsNotBase64WritesNothingButTheJobIsStillDispatched) {
    put(signature + QStringLiteral("c.ppf|QUJDx|not*base64"));
    poll();
    ASSERT_EQ(dispatched.size(), 1);
    EXPECT_EQ(dispatched[0].configuration, QByteArray("ABC"));
    EXPECT_EQ(dispatched[0].printData, QByteArray("<missing>"));
    EXPECT_TRUE(clipboardCleared());
}

TEST_F(ClipboardChannel, MalformedMessagesAreRefusedWithoutWritingAndTakenOnlyOnce) {
    const QStringList malformed{
        QStringLiteral("a.ppf"), QStringLiteral("a.ppf|QUJDx"), QStringLiteral("a.ppf||SGk="),
        QStringLiteral("|QUJDx|SGk="), QStringLiteral("../a.ppf|QUJDx|SGk="),
        QStringLiteral("sub/a.ppf|QUJDx|SGk="), QStringLiteral(".|QUJDx|SGk="),
        QStringLiteral("..|QUJDx|SGk="), QStringLiteral("a.pcf|QUJDx|SGk="),
        // The drive image is no job's file.
        QStringLiteral("drivemap.sparseimage|QUJDx|SGk="),
        // Longer than a file name may be, with or
        // without the configuration's extension.
        QString(256, QLatin1Char('n')) + QStringLiteral("|QUJDx|SGk="),
        QString(252, QLatin1Char('n')) + QStringLiteral("|QUJDx|SGk=")};
    for (const QString& body : malformed) {
        LogRecorder log;
        put(signature + body);
        poll();
        EXPECT_TRUE(stagingEntries().isEmpty()) << body.toStdString();
        EXPECT_TRUE(dispatched.isEmpty()) << body.toStdString();
        EXPECT_TRUE(clipboardCleared()) << body.toStdString();
        const QStringList lines = log.lines();
        const qsizetype unpacking =
            lines.indexOf(QStringLiteral("Identified attempted send from server."));
        ASSERT_GE(unpacking, 0);
        EXPECT_EQ(lines.size() - unpacking, 2) << lines.join('\n').toStdString();
        EXPECT_LT(lines.last().size(), 200) << "a refused name is shortened in the log";

        LogRecorder again;
        poll();
        EXPECT_TRUE(again.lines().isEmpty());
    }
    EXPECT_FALSE(QFile::exists(h.home() + QStringLiteral("/a.ppf")));
}

TEST_F(ClipboardChannel, ATextWithoutTheWholeSignatureIsLeftAlone) {
    put(signature.left(4) + QStringLiteral("a.ppf|QUJDx|SGk="));
    LogRecorder log;
    poll();
    EXPECT_TRUE(log.contains(QStringLiteral("SERVER SIGNATURE NOT FOUND")));
    EXPECT_TRUE(dispatched.isEmpty());
    EXPECT_FALSE(clipboardCleared());

    LogRecorder again;
    poll();
    EXPECT_TRUE(again.lines().isEmpty());
}

TEST_F(ClipboardChannel, TheMostPreferredTextTypeIsRead) {
    h.pasteboard.replaceContents({{utf8Type, QByteArray("plain"), QStringLiteral("plain")},
                                  {QStringLiteral("com.apple.traditional-mac-plain-text"),
                                   QByteArray(), signature + QStringLiteral("m.ppf|QUJDx|SGk=")}});
    LogRecorder log;
    poll();
    EXPECT_TRUE(log.contains(QStringLiteral("Best type: com.apple.traditional-mac-plain-text")));
    EXPECT_EQ(dispatched.size(), 1);
}

TEST_F(ClipboardChannel, RawBytesAreDecodedAsUtf8ThenUtf16ThenMacRoman) {
    const QString message = signature + QStringLiteral("r.ppf|QUJDx|SGk=");
    QByteArray utf16;
    for (const QChar c : message) {
        utf16.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
    }
    h.pasteboard.replaceWithData(QStringLiteral("com.citrix.pasteboard.source"),
                                 QByteArray("\xff\xfe") + utf16);
    LogRecorder log;
    poll();
    EXPECT_TRUE(
        log.contains(QStringLiteral("clipData is nil for type: com.citrix.pasteboard.source")));
    EXPECT_EQ(dispatched.size(), 1);

    h.pasteboard.replaceWithData(QStringLiteral("TEXT"), QByteArray("caf\x8e!"));
    const auto macRoman =
        h.controller().clipboard().readClipDataString(h.pasteboard, QStringLiteral("TEXT"));
    ASSERT_TRUE(macRoman);
    EXPECT_EQ(macRoman->toString(), QStringLiteral("caf\u00e9!"));
}

TEST_F(ClipboardChannel, AnUnreadableTextIsTriedFourTimesAndReadAgainNextPoll) {
    put(signature + QStringLiteral("u.ppf|QUJDx|SGk="));
    h.pasteboard.makeTextUnreadable(utf8Type, 4);
    h.pasteboard.makeDataUnreadable(utf8Type, 4);
    LogRecorder log;
    poll();
    EXPECT_EQ(h.pasteboard.calls().stringForType, 4);
    EXPECT_TRUE(log.contains(QStringLiteral("Unable to read the pasteboard")));
    EXPECT_TRUE(dispatched.isEmpty());

    poll();
    EXPECT_EQ(dispatched.size(), 1);
}

TEST_F(ClipboardChannel, AChangeThatNeverReadsIsGivenUpAfterAFewPolls) {
    put(signature + QStringLiteral("u.ppf|QUJDx|SGk="));
    h.pasteboard.makeTextUnreadable(utf8Type);
    h.pasteboard.makeDataUnreadable(utf8Type);
    LogRecorder log;
    for (int i = 0; i < 5; ++i) {
        poll();
    }
    EXPECT_EQ(h.pasteboard.calls().stringForType, 4 * 3);
    EXPECT_EQ(log.count(QStringLiteral("Unable to read the pasteboard")), 3);
    EXPECT_TRUE(dispatched.isEmpty());

    h.pasteboard.makeTextUnreadable(utf8Type, 0);
    put(signature + QStringLiteral("v.ppf|QUJDx|SGk="));
    poll();
    EXPECT_EQ(dispatched.size(), 1);
}

TEST_F(ClipboardChannel, NothingIsLookedAtOrRecordedWhileTheChannelIsOff) {
    h.setSetting(QStringLiteral("enableClipboard"), QStringLiteral("no"));
    put(signature + QStringLiteral("off.ppf|QUJDx|SGk="));
    poll();
    EXPECT_EQ(h.pasteboard.calls().changeCount, 0);
    EXPECT_TRUE(dispatched.isEmpty());

    h.setSetting(QStringLiteral("enableClipboard"), QStringLiteral("yes"));
    poll();
    EXPECT_EQ(dispatched.size(), 1);
}

TEST_F(ClipboardChannel, AClipboardWithoutTextIsRecordedAndLeftAlone) {
    h.pasteboard.replaceWithData(QStringLiteral("image/png"), QByteArray("\x89PNG"));
    LogRecorder log;
    poll();
    EXPECT_TRUE(log.contains(QStringLiteral("Best type: (null)")));
    LogRecorder again;
    poll();
    EXPECT_TRUE(again.lines().isEmpty());
}

} // namespace

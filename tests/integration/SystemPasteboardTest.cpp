// The system clipboard through SystemPasteboard: in this process on any Qt
// platform, and against another X11 program (xclip) when run on xcb. Each X11
// test expects a display of its own, as ctest runs them (with-xvfb.sh).

#include "platform/desktop/SystemPasteboard.h"
#include "platform/core/Log.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QMimeData>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <functional>
#include <future>
#include <iostream>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>

using dravelo::Pasteboard;
using dravelo::SystemPasteboard;
using namespace std::chrono_literals;

namespace {

// The text of a type, as a QString, for comparing.
std::optional<QString> textOf(Pasteboard& pasteboard, const QString& type) {
    const std::optional<dravelo::EncodedText> text = pasteboard.stringForType(type);
    return text ? std::optional(text->toString()) : std::nullopt;
}

const QString utf16Type = QStringLiteral("public.utf-16-plain-text");
const QString utf16ExternalType = QStringLiteral("public.utf16-external-plain-text");
const QString utf8Type = QStringLiteral("public.utf8-plain-text");
const QString textType = QStringLiteral("TEXT");
const QString macPlainTextType = QStringLiteral("com.apple.traditional-mac-plain-text");
const QString remoteDesktopSourceType = QStringLiteral("com.citrix.pasteboard.source");
const QString remoteDesktopReceiverType = QStringLiteral("com.citrix.receiver.clipboard");

// The identifiers a clipboard reader asks for, most preferred first.
const QStringList preferredTypes = {macPlainTextType,
                                    utf16Type,
                                    utf16ExternalType,
                                    utf8Type,
                                    textType,
                                    remoteDesktopSourceType,
                                    remoteDesktopReceiverType};

const QString clearingText = QString(QChar(0));

// Runs the event loop until the condition holds or ten seconds pass. Qt learns
// of another program's clipboard, and answers its requests, only from here.
bool processEventsUntil(const std::function<bool()>& done) {
    QDeadlineTimer deadline(10s);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

// Runs work on a thread that is not the UI thread, serving the UI thread's
// event loop meanwhile, and gives back its result.
template <typename Result> Result onWorkerThread(std::function<Result()> work) {
    std::packaged_task<Result()> task(std::move(work));
    std::future<Result> result = task.get_future();
    std::thread worker(std::move(task));
    processEventsUntil([&] { return result.wait_for(0s) == std::future_status::ready; });
    worker.join();
    return result.get();
}

void placeContents(const QList<std::pair<QString, QByteArray>>& formats) {
    auto* contents = new QMimeData;
    for (const auto& [format, bytes] : formats) {
        contents->setData(format, bytes);
    }
    QGuiApplication::clipboard()->setMimeData(contents, QClipboard::Clipboard);
}

class LogLines {
public:
    LogLines() {
        dravelo::Log::setSink([this](const QString& line) {
            std::lock_guard lock(mutex_);
            lines_ << line;
        });
    }
    ~LogLines() { dravelo::Log::setSink({}); }

    QStringList lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    mutable std::mutex mutex_;
    QStringList lines_;
};

bool onX11() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

} // namespace

// ---- In this process, on any platform ----

TEST(SystemPasteboard, PlainTextReadsBackUnderBothTextIdentifiers) {
    SystemPasteboard pasteboard;
    const QString text = QStringLiteral(u"Grüße | 5€");
    ASSERT_TRUE(pasteboard.setPlainText(text));
    EXPECT_EQ(textOf(pasteboard, Pasteboard::plainTextType), text);
    EXPECT_EQ(textOf(pasteboard, textType), text);
    EXPECT_EQ(pasteboard.dataForType(Pasteboard::plainTextType), text.toUtf8());
    EXPECT_EQ(pasteboard.types(), (QStringList{utf8Type, textType}));
    EXPECT_EQ(pasteboard.availableTypeFromArray(preferredTypes), utf8Type);
    EXPECT_EQ(textOf(pasteboard, utf16Type), std::nullopt);
    EXPECT_EQ(textOf(pasteboard, macPlainTextType), std::nullopt);
}

TEST(SystemPasteboard, OwnReplacementChangesTheCountOnceBeforeReturning) {
    SystemPasteboard pasteboard;
    const qint64 before = pasteboard.changeCount();
    EXPECT_NE(before, 0);
    pasteboard.setPlainText(QStringLiteral("first"));
    const qint64 afterFirst = pasteboard.changeCount();
    EXPECT_NE(afterFirst, before);
    pasteboard.setPlainText(QStringLiteral("first"));
    const qint64 afterSecond = pasteboard.changeCount();
    EXPECT_NE(afterSecond, afterFirst);
    // Nothing arrives later for our own replacement.
    QElapsedTimer settle;
    settle.start();
    processEventsUntil([&] { return settle.elapsed() > 300; });
    EXPECT_EQ(pasteboard.changeCount(), afterSecond);
}

TEST(SystemPasteboard, CountsReplacementsMadeThroughQClipboard) {
    SystemPasteboard pasteboard;
    const qint64 before = pasteboard.changeCount();
    QGuiApplication::clipboard()->setText(QStringLiteral("elsewhere"));
    EXPECT_NE(pasteboard.changeCount(), before);
    EXPECT_EQ(textOf(pasteboard, textType), QStringLiteral("elsewhere"));
}

TEST(SystemPasteboard, ClearingTextIsOneNulCharacter) {
    SystemPasteboard pasteboard;
    ASSERT_TRUE(pasteboard.setPlainText(clearingText));
    const std::optional<QString> text = textOf(pasteboard, Pasteboard::plainTextType);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, clearingText);
    EXPECT_EQ(pasteboard.dataForType(Pasteboard::plainTextType), QByteArray(1, '\0'));
}

TEST(SystemPasteboard, AvailableTypeFollowsTheOrderOfTheList) {
    SystemPasteboard pasteboard;
    placeContents({{QStringLiteral("text/plain;charset=utf-16"), QByteArray("h\0i\0", 4)},
                   {QStringLiteral("text/plain"), QByteArray("hi")},
                   {remoteDesktopReceiverType, QByteArray("raw")}});
    EXPECT_EQ(pasteboard.availableTypeFromArray(preferredTypes), utf16Type);
    EXPECT_EQ(pasteboard.availableTypeFromArray({textType, utf16ExternalType}), textType);
    EXPECT_EQ(pasteboard.availableTypeFromArray(
                  {remoteDesktopSourceType, remoteDesktopReceiverType, utf8Type}),
              remoteDesktopReceiverType);
    EXPECT_EQ(pasteboard.availableTypeFromArray({macPlainTextType, remoteDesktopSourceType}),
              std::nullopt);
    EXPECT_EQ(pasteboard.availableTypeFromArray({}), std::nullopt);
    EXPECT_EQ(pasteboard.types(), (QStringList{utf16Type, utf16ExternalType, utf8Type, textType,
                                               remoteDesktopReceiverType}));
}

TEST(SystemPasteboard, Utf16TextFollowsItsByteOrderMarkElseLittleEndian) {
    SystemPasteboard pasteboard;
    const QString utf16Mime = QStringLiteral("text/plain;charset=utf-16");
    placeContents({{utf16Mime, QByteArray("\xFF\xFEh\0\xE9\0", 6)}});
    EXPECT_EQ(textOf(pasteboard, utf16Type), QStringLiteral(u"hé"));
    placeContents({{utf16Mime, QByteArray("\xFE\xFF\0h\0\xE9", 6)}});
    EXPECT_EQ(textOf(pasteboard, utf16ExternalType), QStringLiteral(u"hé"));
    placeContents({{utf16Mime, QByteArray("h\0\xE9\0", 4)}});
    EXPECT_EQ(textOf(pasteboard, utf16Type), QStringLiteral(u"hé"));
    // An odd number of bytes is no UTF-16 text, though the bytes are there.
    const QByteArray odd("h\0i", 3);
    placeContents({{utf16Mime, odd}});
    EXPECT_EQ(textOf(pasteboard, utf16Type), std::nullopt);
    EXPECT_EQ(pasteboard.dataForType(utf16Type), odd);
}

TEST(SystemPasteboard, MalformedUtf8GivesNoTextButItsBytes) {
    SystemPasteboard pasteboard;
    const QByteArray bytes("ok\xFF\xFE", 4);
    placeContents({{QStringLiteral("text/plain;charset=utf-8"), bytes}});
    EXPECT_EQ(pasteboard.availableTypeFromArray(preferredTypes), utf8Type);
    EXPECT_EQ(textOf(pasteboard, utf8Type), std::nullopt);
    EXPECT_EQ(pasteboard.dataForType(utf8Type), bytes);
}

TEST(SystemPasteboard, RemoteDesktopTypesGiveRawBytesOnly) {
    SystemPasteboard pasteboard;
    const QByteArray bytes("\x05\x09payload\0", 10);
    placeContents({{remoteDesktopSourceType, bytes}});
    EXPECT_EQ(pasteboard.availableTypeFromArray(preferredTypes), remoteDesktopSourceType);
    EXPECT_EQ(textOf(pasteboard, remoteDesktopSourceType), std::nullopt);
    EXPECT_EQ(pasteboard.dataForType(remoteDesktopSourceType), bytes);
    EXPECT_EQ(pasteboard.dataForType(remoteDesktopReceiverType), std::nullopt);
}

TEST(SystemPasteboard, CallsFromAnotherThreadAreAnsweredByTheUiThread) {
    SystemPasteboard pasteboard;
    pasteboard.setPlainText(QStringLiteral("from the UI thread"));
    QElapsedTimer elapsed;
    elapsed.start();
    const std::optional<QString> text = onWorkerThread<std::optional<QString>>(
        [&] { return textOf(pasteboard, Pasteboard::plainTextType); });
    std::cout << "cross-thread read took " << elapsed.nsecsElapsed() / 1000 << " us\n";
    EXPECT_EQ(text, QStringLiteral("from the UI thread"));

    const qint64 before = pasteboard.changeCount();
    EXPECT_TRUE(onWorkerThread<bool>([&] { return pasteboard.setPlainText(clearingText); }));
    EXPECT_NE(pasteboard.changeCount(), before);
    EXPECT_EQ(textOf(pasteboard, utf8Type), clearingText);
}

TEST(SystemPasteboard, CallFromAnotherThreadGivesUpWhenTheUiThreadIsBusy) {
    SystemPasteboard pasteboard(200ms);
    pasteboard.setPlainText(QStringLiteral("unchanged"));
    const qint64 before = pasteboard.changeCount();
    LogLines log;
    // The UI thread waits for the worker without serving its event loop.
    std::optional<QString> text = QStringLiteral("not asked");
    bool replaced = true;
    std::thread([&] {
        text = textOf(pasteboard, utf8Type);
        replaced = pasteboard.setPlainText(QStringLiteral("late"));
    }).join();
    EXPECT_EQ(text, std::nullopt);
    EXPECT_FALSE(replaced);
    EXPECT_EQ(
        log.lines(),
        (QStringList{QStringLiteral("Clipboard gave no answer within 200 ms (stringForType)"),
                     QStringLiteral("Clipboard gave no answer within 200 ms (setPlainText)")}));
    // The abandoned calls are skipped when the event loop gets to them.
    QCoreApplication::processEvents();
    EXPECT_EQ(pasteboard.changeCount(), before);
    EXPECT_EQ(textOf(pasteboard, utf8Type), QStringLiteral("unchanged"));
}

// ---- Against another X11 program ----

namespace {

// xclip holding the clipboard in the foreground until it is stopped.
class XclipOwner {
public:
    XclipOwner(const QByteArray& contents, const QStringList& targetArguments = {}) {
        process_.start(QStringLiteral("xclip"),
                       QStringList{QStringLiteral("-quiet"), QStringLiteral("-selection"),
                                   QStringLiteral("clipboard")} +
                           targetArguments);
        process_.waitForStarted();
        process_.write(contents);
        process_.closeWriteChannel();
    }
    // Ends xclip and waits until Qt has seen it go, so that its leaving does
    // not show up as a change in a later test.
    ~XclipOwner() {
        resume();
        process_.kill();
        process_.waitForFinished();
        QClipboard* clipboard = QGuiApplication::clipboard();
        processEventsUntil([&] {
            return clipboard->ownsClipboard() || clipboard->mimeData()->formats().isEmpty();
        });
    }

    void pause() { ::kill(static_cast<pid_t>(process_.processId()), SIGSTOP); }
    void resume() { ::kill(static_cast<pid_t>(process_.processId()), SIGCONT); }

private:
    QProcess process_;
};

// The clipboard as another program reads it; our event loop serves it.
QByteArray readWithXclip(const QStringList& targetArguments = {}) {
    QProcess reader;
    reader.start(QStringLiteral("xclip"),
                 QStringList{QStringLiteral("-selection"), QStringLiteral("clipboard"),
                             QStringLiteral("-o")} +
                     targetArguments);
    processEventsUntil([&] { return reader.state() == QProcess::NotRunning; });
    return reader.readAllStandardOutput();
}

class X11Pasteboard : public ::testing::Test {
protected:
    void SetUp() override {
        if (!onX11()) {
            GTEST_SKIP() << "needs the xcb platform and xclip";
        }
    }

    // Waits until Qt has seen the other program take the clipboard: its
    // bytes show under the identifier and the change count moved. (The bytes
    // can show before the change: a read asks the owner of the moment.)
    void expectTakenOver(qint64 countBefore, const QString& type, const QByteArray& bytes) {
        EXPECT_TRUE(processEventsUntil([&] {
            return pasteboard.changeCount() != countBefore && pasteboard.dataForType(type) == bytes;
        })) << "the other program's contents never showed";
    }

    // Another program places a UTF-8 text under the target; it reads back
    // through both text identifiers.
    void expectTextReadable(const QStringList& targetArguments) {
        const QString text = QStringLiteral(u"Grüße aus xclip");
        const qint64 before = pasteboard.changeCount();
        XclipOwner owner(text.toUtf8(), targetArguments);
        expectTakenOver(before, utf8Type, text.toUtf8());
        EXPECT_EQ(pasteboard.availableTypeFromArray(preferredTypes), utf8Type);
        EXPECT_EQ(pasteboard.types(), (QStringList{utf8Type, textType}));
        EXPECT_EQ(textOf(pasteboard, utf8Type), text);
        EXPECT_EQ(textOf(pasteboard, textType), text);
    }

    SystemPasteboard pasteboard;
};

} // namespace

TEST_F(X11Pasteboard, DefaultTargetIsReadThroughTheTextIdentifiers) {
    expectTextReadable({});
}

TEST_F(X11Pasteboard, Utf8StringTargetIsReadThroughTheTextIdentifiers) {
    expectTextReadable({QStringLiteral("-t"), QStringLiteral("UTF8_STRING")});
}

TEST_F(X11Pasteboard, TextTargetIsReadAsText) {
    const qint64 before = pasteboard.changeCount();
    XclipOwner owner("plain words", {QStringLiteral("-t"), QStringLiteral("TEXT")});
    expectTakenOver(before, textType, "plain words");
    EXPECT_EQ(pasteboard.availableTypeFromArray({textType, remoteDesktopSourceType}), textType);
    EXPECT_EQ(textOf(pasteboard, textType), QStringLiteral("plain words"));
}

TEST_F(X11Pasteboard, CustomTargetIsReadAsRawBytes) {
    const QByteArray bytes("\x05\x09\x06\x08\x07job.ppf|AA|AA\0", 19);
    const qint64 before = pasteboard.changeCount();
    XclipOwner owner(bytes, {QStringLiteral("-t"), remoteDesktopSourceType});
    expectTakenOver(before, remoteDesktopSourceType, bytes);
    EXPECT_EQ(pasteboard.availableTypeFromArray(preferredTypes), remoteDesktopSourceType);
    EXPECT_EQ(pasteboard.types(), QStringList{remoteDesktopSourceType});
    EXPECT_EQ(textOf(pasteboard, remoteDesktopSourceType), std::nullopt);
    EXPECT_EQ(pasteboard.dataForType(remoteDesktopSourceType), bytes);
}

TEST_F(X11Pasteboard, ClearingTextReachesOtherProgramsAsOneNulByte) {
    const qint64 before = pasteboard.changeCount();
    XclipOwner owner("a job message");
    expectTakenOver(before, utf8Type, "a job message");
    const qint64 seen = pasteboard.changeCount();
    ASSERT_TRUE(pasteboard.setPlainText(clearingText));
    const qint64 cleared = pasteboard.changeCount();
    EXPECT_NE(cleared, seen);
    EXPECT_EQ(readWithXclip(), QByteArray(1, '\0'));
    EXPECT_EQ(readWithXclip({QStringLiteral("-t"), QStringLiteral("UTF8_STRING")}),
              QByteArray(1, '\0'));
    EXPECT_EQ(pasteboard.changeCount(), cleared);
}

TEST_F(X11Pasteboard, ReadFromAnotherThreadIsAnsweredWithinTheBound) {
    const qint64 before = pasteboard.changeCount();
    XclipOwner owner("read me from a worker");
    expectTakenOver(before, utf8Type, "read me from a worker");
    QElapsedTimer elapsed;
    elapsed.start();
    const std::optional<QString> text =
        onWorkerThread<std::optional<QString>>([&] { return textOf(pasteboard, utf8Type); });
    std::cout << "cross-thread read of another program's text took "
              << elapsed.nsecsElapsed() / 1000 << " us\n";
    EXPECT_EQ(text, QStringLiteral("read me from a worker"));
}

// Another program's text is read from its bytes, as Qt would read it: large
// ones sent in pieces, Latin-1 for STRING, U+FFFD for a stray byte, without a
// last NUL byte.
TEST_F(X11Pasteboard, AnotherProgramsTextReadsFromItsBytesAsQtReadsIt) {
    const QByteArray large = QByteArray("0123456789abcdef").repeated(400000) + "\xc3\xbc";
    const struct {
        const char* what;
        QStringList target;
        QByteArray bytes;
        QString text;
    } cases[] = {
        {"several megabytes in pieces", {}, large, QString::fromUtf8(large)},
        {"Latin-1",
         {QStringLiteral("-t"), QStringLiteral("STRING")},
         "Gr\xfc\xdf",
         QStringLiteral(u"Grüß")},
        {"a stray byte",
         {},
         "a\xff"
         "b",
         QStringLiteral(u"a\ufffdb")},
        {"a last NUL", {}, QByteArray("abc\0", 4), QStringLiteral("abc")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const qint64 before = pasteboard.changeCount();
        XclipOwner owner(c.bytes, c.target);
        ASSERT_TRUE(processEventsUntil([&] { return pasteboard.changeCount() != before; }));
        const std::optional<QString> text =
            onWorkerThread<std::optional<QString>>([&] { return textOf(pasteboard, textType); });
        EXPECT_EQ(text, c.text);
    }
}

// Qt waits its own time-out for every request to an owner that does not
// answer; asked once per type, a single change held the UI thread for half a
// minute. The formats are asked for once per change.
TEST_F(X11Pasteboard, AnOwnerThatNeverAnswersIsAskedForItsFormatsOncePerChange) {
    const qint64 before = pasteboard.changeCount();
    XclipOwner owner("never delivered");
    ASSERT_TRUE(processEventsUntil([&] { return pasteboard.changeCount() != before; }));
    owner.pause();
    QElapsedTimer elapsed;
    elapsed.start();
    using Answers = std::tuple<std::optional<QString>, QStringList, std::optional<QString>>;
    const Answers answers = onWorkerThread<Answers>([&] {
        return Answers{pasteboard.availableTypeFromArray(preferredTypes), pasteboard.types(),
                       textOf(pasteboard, utf8Type)};
    });
    std::cout << "with a stopped owner, one poll's questions took " << elapsed.elapsed() << " ms\n";
    EXPECT_EQ(answers, (Answers{std::nullopt, {}, std::nullopt}));
    EXPECT_LT(elapsed.elapsed(), 9000) << "more than one of Qt's 5 s clipboard time-outs";
}

int main(int argc, char** argv) {
    // The platform comes from the environment (xcb under Xvfb); without one,
    // Qt's offscreen platform with its in-process clipboard.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

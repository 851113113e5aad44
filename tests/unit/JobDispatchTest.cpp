#include "support/ControllerHarness.h"
#include "support/LogRecorder.h"
#include "support/TestPdf.h"
#include "support/desktop/FakeDocument.h"

#include "app/JobDispatch.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>

using dravelo::TaskResult;
using dravelo::test::ControllerHarness;
using dravelo::test::FakeDocument;
using dravelo::test::FakeTaskRunner;
using dravelo::test::LogRecorder;
using dravelo::test::ScriptedAlert;
using dravelo::test::TestPdf;

namespace {

class JobDispatch : public ::testing::Test {
protected:
    void SetUp() override {
        h.controller().init();
        h.writeJob(h.stagingPath(), QStringLiteral("job"));
    }
    void setAction(const QString& value) { h.setSetting(QStringLiteral("actionPrintJob"), value); }
    void dispatch() { h.controller().jobDispatch().spawnDocument(configuration); }
    bool pairExists() const { return QFile::exists(configuration) && QFile::exists(printData); }
    bool pairGone() const { return !QFile::exists(configuration) && !QFile::exists(printData); }
    void registerDocumentType() {
        h.documents.registerDocumentType(QStringLiteral("ppf"), [](const QString& path) {
            return std::make_unique<FakeDocument>(path);
        });
    }
    // Runs what was handed to the UI thread.
    static void runUiThread() { QCoreApplication::processEvents(); }

    ControllerHarness h;
    QString configuration = h.stagingFile(QStringLiteral("job.pcf"));
    QString printData = h.stagingFile(QStringLiteral("job.ppf"));
};

TEST_F(JobDispatch, DirectPrintRunsLpOnThePrintDataThenDeletesThePair) {
    setAction(QStringLiteral("Print directly to printer"));
    bool pairPresentWhilePrinting = false;
    h.tasks.onRun([&](const FakeTaskRunner::Call&) { pairPresentWhilePrinting = pairExists(); });
    dispatch();

    ASSERT_EQ(h.tasks.calls().size(), 1);
    const FakeTaskRunner::Call call = h.tasks.calls().first();
    EXPECT_EQ(call.program, QStringLiteral("/usr/bin/lp"));
    EXPECT_EQ(call.arguments, QStringList{printData});
    EXPECT_TRUE(call.waited);
    EXPECT_GT(call.timeout.count(), 0);
    EXPECT_TRUE(pairPresentWhilePrinting);
    EXPECT_TRUE(pairGone());
    EXPECT_TRUE(h.documents.documents().isEmpty());
}

TEST_F(JobDispatch, DirectPrintDeletesThePairWhateverTheCommandDidButTellsTheUser) {
    setAction(QStringLiteral("Print directly to printer"));
    const struct {
        TaskResult result;
        QString told;
    } cases[] = {
        {{TaskResult::Outcome::Exited, 1, QStringLiteral("lp: Error - No default destination.")},
         QStringLiteral("lp: Error - No default destination.")},
        {{TaskResult::Outcome::Exited, 2, QString()}, QStringLiteral("exited with status 2")},
        {{TaskResult::Outcome::TimedOut, -1, QString()}, QStringLiteral("did not finish")},
        {{TaskResult::Outcome::CutShort, -1, QString()}, QStringLiteral("quit")},
        {{TaskResult::Outcome::FailedToStart, -1, QStringLiteral("No such file or directory")},
         QStringLiteral("/usr/bin/lp could not be started: No such file or directory")},
    };
    for (const auto& [result, told] : cases) {
        h.writeJob(h.stagingPath(), QStringLiteral("job"));
        h.tasks.setResult(result);
        h.notifications.clear();
        LogRecorder log;
        dispatch();
        runUiThread();
        EXPECT_TRUE(pairGone());
        EXPECT_EQ(log.lines().size(), 1) << log.lines().join('\n').toStdString();
        ASSERT_EQ(h.notifications.size(), 1) << told.toStdString();
        EXPECT_TRUE(h.notifications.first().contains(told))
            << h.notifications.first().toStdString();
    }
    h.notifications.clear();
    h.writeJob(h.stagingPath(), QStringLiteral("job"));
    h.tasks.setResult({TaskResult::Outcome::Exited, 0, QStringLiteral("request id is sink-1")});
    dispatch();
    runUiThread();
    EXPECT_TRUE(h.notifications.isEmpty());
}

TEST_F(JobDispatch, DirectPrintOfAFileThatIsNoPdfStillRunsTheCommand) {
    setAction(QStringLiteral("Print directly to printer"));
    QFile garbage(printData);
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly | QIODevice::Truncate));
    garbage.write("not a pdf");
    garbage.close();
    dispatch();
    EXPECT_EQ(h.tasks.calls().size(), 1);
    EXPECT_TRUE(pairGone());
}

TEST_F(JobDispatch, AProtectedJobIsHandedToThePasswordPromptOnTheUiThread) {
    setAction(QStringLiteral("Print directly to printer"));
    TestPdf::writeEncrypted(printData, QStringLiteral("user-secret"),
                            QStringLiteral("owner-secret"));
    ASSERT_EQ(h.alerts.size(), 1);
    ScriptedAlert& prompt = *h.alerts.first();
    prompt.script({ScriptedAlert::type(QStringLiteral("user-secret"))});
    dispatch();
    EXPECT_TRUE(prompt.showings().isEmpty()) << "prompted before the UI thread ran";
    EXPECT_TRUE(pairExists());

    runUiThread();
    ASSERT_EQ(prompt.showings().size(), 1);
    EXPECT_TRUE(
        prompt.showings()[0].messageText.startsWith(QStringLiteral("The document job.ppf ")));
    ASSERT_EQ(h.printSpooler.jobs().size(), 1);
    EXPECT_EQ(h.printSpooler.jobs()[0].path, printData);
    EXPECT_TRUE(h.tasks.calls().isEmpty()) << "never spooled by the plain print command";
    EXPECT_TRUE(pairGone());
}

TEST_F(JobDispatch, AJobTheRendererCannotTellAboutIsPrintedAsItIs) {
    setAction(QStringLiteral("Print directly to printer"));
    TestPdf::writeEncrypted(printData, QStringLiteral("user-secret"),
                            QStringLiteral("owner-secret"));
    h.renderers->failing = {dravelo::RendererRequest::Kind::Inspect};
    LogRecorder log;
    dispatch();
    ASSERT_EQ(h.tasks.calls().size(), 1);
    EXPECT_EQ(h.tasks.calls().first().arguments, QStringList{printData});
    EXPECT_TRUE(pairGone());
    EXPECT_EQ(log.lines().filter(QStringLiteral("Cannot tell whether ")).size(), 1);
    EXPECT_EQ(h.renderers->stops, 1) << "the renderer ends with the question";
}

TEST_F(JobDispatch, AJobWithOnlyAnOwnerPasswordPrintsDirectly) {
    setAction(QStringLiteral("Print directly to printer"));
    TestPdf::writeEncrypted(printData, QString(), QStringLiteral("owner-secret"));
    dispatch();
    EXPECT_EQ(h.tasks.calls().size(), 1);
    EXPECT_TRUE(pairGone());
}

TEST_F(JobDispatch, TheViewerGetsACopyThatOutlivesThePair) {
    setAction(QStringLiteral("Open In Mac Preview"));
    const QString copy = h.stagingFile(QStringLiteral("job.pdf"));
    bool copyPresentWhenOpened = false;
    h.workspace.onOpen([&](const QString& path) { copyPresentWhenOpened = QFile::exists(path); });
    dispatch();
    EXPECT_EQ(h.workspace.openedFiles(), QStringList{copy});
    EXPECT_TRUE(copyPresentWhenOpened);
    EXPECT_TRUE(pairGone());
    // A viewer that starts slowly still finds it; it goes later, or at exit.
    runUiThread();
    EXPECT_TRUE(QFile::exists(copy));
    h.controller().applicationEnding();
    EXPECT_FALSE(QFile::exists(copy));
}

TEST_F(JobDispatch, AnExistingViewerCopyStopsTheViewerAction) {
    setAction(QStringLiteral("Open In Mac Preview"));
    const QString copy = h.stagingFile(QStringLiteral("job.pdf"));
    QFile existing(copy);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("older");
    existing.close();
    dispatch();
    EXPECT_TRUE(h.workspace.openedFiles().isEmpty());
    EXPECT_TRUE(pairExists());
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), QByteArray("older"));
}

TEST_F(JobDispatch, EveryOtherValueOpensTheJobAsADocumentOnTheUiThread) {
    registerDocumentType();
    const QStringList values{
        QStringLiteral("Preview print job"), QStringLiteral("Display print dialog only"),
        QStringLiteral("print directly to printer"), QStringLiteral("anything else")};
    for (const QString& value : values) {
        setAction(value);
        LogRecorder log;
        dispatch();
        EXPECT_TRUE(h.documents.documents().isEmpty()) << "opened before the UI thread ran";
        runUiThread();
        EXPECT_EQ(h.documents.documents().size(), 1) << value.toStdString();
        EXPECT_TRUE(log.contains(QStringLiteral("Opened document. ") + printData));
        h.documents.documents().first()->close();
    }
    EXPECT_TRUE(h.tasks.calls().isEmpty());
    EXPECT_TRUE(pairExists());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(JobDispatch, AMissingSettingOpensTheJobAsADocument) {
    registerDocumentType();
    dispatch();
    runUiThread();
    EXPECT_EQ(h.documents.documents().size(), 1);
    h.documents.documents().first()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(JobDispatch, AFailedOpeningIsLoggedAndKeepsThePair) {
    LogRecorder log;
    dispatch();
    runUiThread();
    EXPECT_TRUE(log.contains(QStringLiteral("Failed to open document. ") + printData));
    EXPECT_TRUE(pairExists());
}

TEST_F(JobDispatch, ThePrintDataPathReplacesWhateverExtensionTheConfigurationHas) {
    setAction(QStringLiteral("Print directly to printer"));
    h.controller().jobDispatch().spawnDocument(h.stagingFile(QStringLiteral("job.txt")));
    ASSERT_EQ(h.tasks.calls().size(), 1);
    EXPECT_EQ(h.tasks.calls().first().arguments, QStringList{printData});
}

} // namespace

#include "documents/DVCPrintDefault.h"

#include "support/LogRecorder.h"
#include "support/QtPrinting.h"
#include "support/TestPdf.h"
#include "support/desktop/ScriptedAlert.h"
#include "support/pdf/InProcessRenderer.h"
#include "support/print/RecordingPrintSpooler.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using dravelo::Alert;
using dravelo::DVCPrintDefault;
using dravelo::PrintResult;
using dravelo::PrintSettings;
using dravelo::test::InProcessRenderer;
using dravelo::test::LogRecorder;
using dravelo::test::RecordingPrintSpooler;
using dravelo::test::ScriptedAlert;
using dravelo::test::TestPdf;

namespace {

const QString userPassword = QStringLiteral("user-secret");
const QString ownerPassword = QStringLiteral("owner-secret");
const QString incorrect = QStringLiteral("Incorrect password, please try again.");

QString messageFor(const QString& fileName) {
    return QStringLiteral("The document ") + fileName +
           QStringLiteral(" is password protected.\nPlease enter the password below.");
}

class PrintDefault : public ::testing::Test {
protected:
    struct Job {
        QString configuration;
        QString printData;
        bool gone() const { return !QFile::exists(configuration) && !QFile::exists(printData); }
        bool present() const { return QFile::exists(configuration) && QFile::exists(printData); }
    };

    Job writeProtectedJob(const QString& name) {
        const Job job{dir.filePath(name + QStringLiteral(".pcf")),
                      dir.filePath(name + QStringLiteral(".ppf"))};
        QFile configuration(job.configuration);
        configuration.open(QIODevice::WriteOnly);
        TestPdf::writeEncrypted(job.printData, userPassword, ownerPassword);
        return job;
    }
    void run(const Job& job) { printer.printDefault(job.configuration, job.printData); }

    QTemporaryDir dir;
    ScriptedAlert* alert = nullptr;
    RecordingPrintSpooler spooler;
    QStringList notifications;
    std::shared_ptr<InProcessRenderer::Script> renderers =
        std::make_shared<InProcessRenderer::Script>();
    DVCPrintDefault printer{[this] {
                                auto made = std::make_unique<ScriptedAlert>();
                                alert = made.get();
                                return made;
                            },
                            spooler, [this](const QString& text) { notifications << text; },
                            InProcessRenderer::factory(renderers)};
};

TEST_F(PrintDefault, TheRightPasswordPrintsToTheDefaultPrinterFittedUnrotatedThenDeletesThePair) {
    EXPECT_EQ(alert->buttonTitles(),
              (QStringList{QStringLiteral("Escape"), QStringLiteral("Enter")}));
    EXPECT_EQ(alert->keyEquivalents(), (QStringList{Alert::escapeKey, Alert::returnKey}));
    EXPECT_EQ(alert->textFieldSize(), QSize(200, 24));

    const Job job = writeProtectedJob(QStringLiteral("JOB"));
    bool pairPresentWhilePrinting = false;
    spooler.onPrint(
        [&](const RecordingPrintSpooler::Job&) { pairPresentWhilePrinting = job.present(); });
    alert->script({ScriptedAlert::type(userPassword)});
    run(job);

    ASSERT_EQ(alert->showings().size(), 1);
    EXPECT_EQ(alert->showings()[0].messageText, messageFor(QStringLiteral("JOB.ppf")));
    EXPECT_EQ(alert->showings()[0].informativeText, QString());
    ASSERT_EQ(spooler.jobs().size(), 1);
    const RecordingPrintSpooler::Job& printed = spooler.jobs()[0];
    EXPECT_EQ(printed.path, job.printData);
    EXPECT_TRUE(printed.unlockedWithPassword);
    EXPECT_EQ(printed.pageCount, 1);
    EXPECT_TRUE(printed.settings.printerName.isEmpty()) << "the default destination";
    EXPECT_TRUE(printed.settings.fitToPage);
    EXPECT_FALSE(printed.settings.autoRotate);
    EXPECT_EQ(printed.settings.lpArguments(),
              (QStringList{"-o", "fit-to-page", "-o", "nopdfAutoRotate"}));
    EXPECT_TRUE(pairPresentWhilePrinting);
    EXPECT_TRUE(job.gone());
    EXPECT_TRUE(notifications.isEmpty());
}

TEST_F(PrintDefault, KeepsThePrinterLastChosenButNotAnotherDocumentsCopiesOrPages) {
    PrintSettings& shared = PrintSettings::shared();
    const PrintSettings before = shared;
    shared.printerName = QStringLiteral("Office");
    shared.media = QStringLiteral("A4");
    shared.copies = 3;
    shared.pageRanges = QStringLiteral("2-3");
    alert->script({ScriptedAlert::type(userPassword)});
    run(writeProtectedJob(QStringLiteral("job")));
    shared = before;

    ASSERT_EQ(spooler.jobs().size(), 1);
    EXPECT_EQ(spooler.jobs()[0].settings.lpArguments(),
              (QStringList{"-d", "Office", "-o", "media=A4", "-o", "fit-to-page", "-o",
                           "nopdfAutoRotate"}));
}

TEST_F(PrintDefault, WrongPasswordsAskAgainUntilTheRightOneWhileEscapeDiscards) {
    struct Case {
        const char* name;
        QList<ScriptedAlert::Answer> answers;
        int printed;
    };
    const QList<Case> cases{
        {"wrong, then right",
         {ScriptedAlert::type(QStringLiteral("guess")), ScriptedAlert::type(userPassword)},
         1},
        {"wrong, wrong, then the owner password",
         {ScriptedAlert::type(QStringLiteral("a")), ScriptedAlert::type(QStringLiteral("b")),
          ScriptedAlert::type(ownerPassword)},
         1},
        {"Escape at once", {ScriptedAlert::press(Alert::firstButtonReturn)}, 0},
        {"wrong, then Escape",
         {ScriptedAlert::type(QStringLiteral("guess")),
          ScriptedAlert::press(Alert::firstButtonReturn)},
         0},
    };
    int printedSoFar = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Job job = writeProtectedJob(QStringLiteral("job"));
        const qsizetype shownBefore = alert->showings().size();
        alert->script(c.answers);
        run(job);

        const QList<ScriptedAlert::Showing> shown = alert->showings().mid(shownBefore);
        ASSERT_EQ(shown.size(), c.answers.size());
        EXPECT_EQ(shown.first().informativeText, QString());
        for (qsizetype i = 1; i < shown.size(); ++i) {
            EXPECT_EQ(shown[i].informativeText, incorrect);
            EXPECT_EQ(shown[i].fieldText, *c.answers[i - 1].typed) << "the typed text stays";
        }
        printedSoFar += c.printed;
        EXPECT_EQ(spooler.jobs().size(), printedSoFar);
        EXPECT_EQ(alert->informativeText(), QString());
        EXPECT_TRUE(job.gone());
    }
}

TEST_F(PrintDefault, TheNextJobNamesItsOwnFileAndFindsTheLastPasswordInTheField) {
    const Job first = writeProtectedJob(QStringLiteral("first"));
    const Job second = writeProtectedJob(QStringLiteral("second"));
    alert->script({ScriptedAlert::type(QStringLiteral("wrong")), ScriptedAlert::type(userPassword),
                   ScriptedAlert::press(Alert::secondButtonReturn)});
    run(first);
    run(second);

    ASSERT_EQ(alert->showings().size(), 3);
    const ScriptedAlert::Showing& next = alert->showings()[2];
    EXPECT_EQ(next.messageText, messageFor(QStringLiteral("second.ppf")));
    EXPECT_EQ(next.informativeText, QString());
    EXPECT_EQ(next.fieldText, userPassword);
    EXPECT_EQ(spooler.jobs().size(), 2);
    EXPECT_TRUE(first.gone());
    EXPECT_TRUE(second.gone());
}

TEST_F(PrintDefault, APasswordTheRendererCouldNotCheckIsAskedForAgain) {
    const Job job = writeProtectedJob(QStringLiteral("job"));
    // The renderer answers the first look at the file, then not the first
    // password, then again.
    int shown = 0;
    alert->onShow([&] {
        std::lock_guard lock(renderers->mutex);
        renderers->failing = ++shown == 1 ? QList{dravelo::RendererRequest::Kind::Inspect}
                                          : QList<dravelo::RendererRequest::Kind>{};
    });
    alert->script({ScriptedAlert::type(userPassword), ScriptedAlert::type(userPassword)});
    run(job);
    ASSERT_EQ(alert->showings().size(), 2);
    EXPECT_TRUE(alert->showings()[1].informativeText.startsWith(
        QStringLiteral("The password could not be checked: ")))
        << alert->showings()[1].informativeText.toStdString();
    EXPECT_EQ(spooler.jobs().size(), 1);
    EXPECT_TRUE(job.gone());
}

TEST_F(PrintDefault, AJobTheRendererCannotOpenIsDiscardedWithoutAPromptAndTold) {
    const Job job = writeProtectedJob(QStringLiteral("job"));
    renderers->failing = {dravelo::RendererRequest::Kind::Inspect};
    LogRecorder log;
    run(job);
    EXPECT_TRUE(alert->showings().isEmpty());
    EXPECT_TRUE(spooler.jobs().isEmpty());
    EXPECT_TRUE(job.gone());
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines()[0].contains(renderers->failure));
    EXPECT_EQ(notifications.size(), 1);
}

TEST_F(PrintDefault, APrintDataFileThatStoppedBeingAPdfIsDiscardedWithoutAPrompt) {
    const Job job = writeProtectedJob(QStringLiteral("job"));
    QFile printData(job.printData);
    ASSERT_TRUE(printData.open(QIODevice::WriteOnly | QIODevice::Truncate));
    printData.write("no longer a PDF");
    printData.close();
    LogRecorder log;
    run(job);
    EXPECT_TRUE(alert->showings().isEmpty());
    EXPECT_TRUE(spooler.jobs().isEmpty());
    EXPECT_TRUE(job.gone());
    EXPECT_EQ(log.lines().size(), 1);
    EXPECT_EQ(notifications.size(), 1);
}

TEST_F(PrintDefault, AFailedPrintIsLoggedAndToldWithThePrintCommandsTextAndThePairStillGoes) {
    const Job job = writeProtectedJob(QStringLiteral("job"));
    const QString lpError = QStringLiteral("lp: The printer or class does not exist.");
    spooler.setResult(PrintResult{false, lpError});
    alert->script({ScriptedAlert::type(userPassword)});
    LogRecorder log;
    run(job);
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines()[0].contains(lpError));
    ASSERT_EQ(notifications.size(), 1);
    EXPECT_TRUE(notifications[0].contains(lpError));
    EXPECT_TRUE(notifications[0].contains(QStringLiteral("job.ppf")));
    EXPECT_TRUE(job.gone());
}

} // namespace

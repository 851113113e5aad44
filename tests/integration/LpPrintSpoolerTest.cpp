#include "platform/print/LpPrintSpooler.h"

#include "platform/pdf/PdfDocument.h"
#include "platform/print/PrintSettings.h"
#include "platform/process/Task.h"
#include "support/QtPrinting.h"
#include "support/TestPdf.h"
#include "support/pdf/RendererPrograms.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using dravelo::LpPrintSpooler;
using dravelo::PdfDocument;
using dravelo::PrintResult;
using dravelo::PrintSettings;
using dravelo::test::RendererPrograms;
using dravelo::test::TestPdf;

namespace {

using namespace std::chrono_literals;

const QString password = QStringLiteral("user-secret");

// A stand-in for `lp` that keeps its arguments, a copy of the file it was
// given and that file's mode, then behaves as `body` says.
class FakeLp {
public:
    explicit FakeLp(const QString& body = QString()) {
        QFile script(program());
        script.open(QIODevice::WriteOnly);
        script.write(QStringLiteral("#!/bin/sh\n"
                                    "printf '%s\\n' \"$@\" > '%1/arguments'\n"
                                    "for file; do :; done\n"
                                    "cp \"$file\" '%1/spooled.pdf'\n"
                                    "stat -c %a \"$file\" > '%1/mode'\n"
                                    "%2\n")
                         .arg(records.path(), body)
                         .toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString program() const { return records.filePath(QStringLiteral("lp")); }
    QString record(const QString& name) const {
        QFile file(records.filePath(name));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed()
                                              : QString();
    }
    QStringList arguments() const { return record(QStringLiteral("arguments")).split('\n'); }
    QString spooled() const { return records.filePath(QStringLiteral("spooled.pdf")); }

private:
    QTemporaryDir records;
};

class LpPrintSpoolerTest : public ::testing::Test {
protected:
    dravelo::Task tasks;
    QStringList staged() const {
        return QDir(staging.path()).entryList(QDir::Files | QDir::Hidden);
    }
    std::shared_ptr<PdfDocument> unlockedJob() {
        const QString path = staging.filePath(QStringLiteral("job.ppf"));
        TestPdf::writeEncrypted(path, password, QStringLiteral("owner-secret"), 2);
        auto pdf = RendererPrograms::open(path);
        EXPECT_TRUE(pdf->unlockWithPassword(password));
        return pdf;
    }

    QTemporaryDir staging;
    PrintSettings settings;
};

TEST_F(LpPrintSpoolerTest, SpoolsAPlainPdfItselfWithTheSettingsOptions) {
    const QString path = staging.filePath(QStringLiteral("job.ppf"));
    TestPdf::write(path);
    FakeLp lp;
    settings.copies = 2;
    settings.fitToPage = true;
    const PrintResult result =
        LpPrintSpooler(tasks, lp.program()).print(*RendererPrograms::open(path), settings);
    EXPECT_TRUE(result.succeeded);
    EXPECT_EQ(lp.arguments(), settings.lpArguments() << path);
}

TEST_F(LpPrintSpoolerTest, SpoolsAPasswordOpenedPdfAsAPrivateDecryptedCopyThatGoesAway) {
    const auto pdf = unlockedJob();
    FakeLp lp;
    const PrintResult result = LpPrintSpooler(tasks, lp.program()).print(*pdf, settings);
    EXPECT_TRUE(result.succeeded);
    const QString spooledPath = lp.arguments().last();
    EXPECT_NE(spooledPath, pdf->path());
    EXPECT_EQ(QFileInfo(spooledPath).absolutePath(), QFileInfo(pdf->path()).absolutePath());
    EXPECT_EQ(lp.record(QStringLiteral("mode")), QStringLiteral("600"));
    const auto spooled = RendererPrograms::open(lp.spooled());
    EXPECT_FALSE(spooled->isLocked());
    EXPECT_EQ(spooled->pageCount(), 2);
    EXPECT_EQ(staged(), QStringList{QStringLiteral("job.ppf")});
}

TEST_F(LpPrintSpoolerTest, AFailureCarriesThePrintCommandsTextAndTheCopyStillGoes) {
    struct Case {
        const char* name;
        QString body;
        std::chrono::milliseconds timeout;
        QString errorText;
    };
    const QList<Case> cases{
        {"error text",
         QStringLiteral("echo 'lp: The printer or class does not exist.' >&2; exit 1"), 5s,
         QStringLiteral("lp: The printer or class does not exist.")},
        {"silent failure", QStringLiteral("exit 3"), 5s, QStringLiteral(" exited with status 3")},
        {"hung", QStringLiteral("exec sleep 30"), 300ms, QStringLiteral(" did not finish within ")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeLp lp(c.body);
        const PrintResult result =
            LpPrintSpooler(tasks, lp.program(), c.timeout).print(*unlockedJob(), settings);
        EXPECT_FALSE(result.succeeded);
        EXPECT_TRUE(result.errorText.contains(c.errorText)) << result.errorText.toStdString();
        EXPECT_EQ(staged(), QStringList{QStringLiteral("job.ppf")});
    }
}

TEST_F(LpPrintSpoolerTest, NothingRunsForAMissingCommandOrALockedDocument) {
    const PrintResult missing = LpPrintSpooler(tasks, staging.filePath(QStringLiteral("no-lp")))
                                    .print(*unlockedJob(), settings);
    EXPECT_FALSE(missing.succeeded);
    EXPECT_TRUE(missing.errorText.contains(QStringLiteral("could not be started")));
    EXPECT_EQ(staged(), QStringList{QStringLiteral("job.ppf")});

    FakeLp lp;
    const PrintResult locked =
        LpPrintSpooler(tasks, lp.program())
            .print(*RendererPrograms::open(staging.filePath(QStringLiteral("job.ppf"))), settings);
    EXPECT_FALSE(locked.succeeded);
    EXPECT_TRUE(lp.record(QStringLiteral("arguments")).isEmpty());
}

} // namespace

#include "documents/DVCPrintDefault.h"

#include "platform/core/Log.h"
#include "platform/pdf/PdfDocument.h"
#include "platform/pdf/RendererClient.h"
#include "platform/print/PrintSettings.h"
#include "platform/print/PrintSpooler.h"

#include <QFile>
#include <QFileInfo>

namespace dravelo {
namespace {

void removePair(const QString& configurationPath, const QString& printDataPath) {
    QFile::remove(configurationPath);
    QFile::remove(printDataPath);
}

} // namespace

DVCPrintDefault::DVCPrintDefault(const AlertFactory& makeAlert, PrintSpooler& spooler,
                                 Notifier notifyUser, RendererFactory makeRenderer)
    : alert(PasswordPrompt::forProtectedDocument(makeAlert))
    , spooler_(spooler)
    , notifyUser_(std::move(notifyUser))
    , makeRenderer_(std::move(makeRenderer)) {
    alert.setMessageText(QStringLiteral("Password required"));
}

void DVCPrintDefault::printDefault(const QString& configurationPath, const QString& printDataPath) {
    const std::shared_ptr<PdfDocument> pdf =
        PdfDocument::open(printDataPath, std::make_shared<RendererClient>(makeRenderer_()));
    // No password opens a file that is not a PDF, or one the renderer cannot
    // open: asking for one would only ever answer "incorrect".
    if (pdf->state() == PdfDocument::State::Unreadable) {
        log(QStringLiteral("Print job is not a readable PDF and was discarded: %1")
                .arg(printDataPath));
        tellUser(printDataPath, QStringLiteral("it is not a readable PDF."));
        removePair(configurationPath, printDataPath);
        return;
    }
    if (pdf->state() == PdfDocument::State::Unknown) {
        log(QStringLiteral("Print job could not be opened and was discarded: %1: %2")
                .arg(printDataPath, pdf->failure()));
        tellUser(printDataPath, QStringLiteral("it could not be opened (%1).").arg(pdf->failure()));
        removePair(configurationPath, printDataPath);
        return;
    }
    alert.setProtectedDocument(printDataPath);
    const bool unlocked = alert.ask(*pdf);
    alert.setInformativeText(QString());
    if (unlocked) {
        print(*pdf);
    }
    removePair(configurationPath, printDataPath);
}

void DVCPrintDefault::print(const PdfDocument& pdf) {
    // The printer and its setup as last chosen; copies and page ranges
    // chosen for another document do not apply to this one.
    PrintSettings settings = PrintSettings::shared();
    settings.copies = 1;
    settings.collate = true;
    settings.pageRanges.clear();
    settings.fitToPage = true;
    settings.autoRotate = false;
    const PrintResult result = spooler_.print(pdf, settings);
    if (!result.succeeded) {
        log(QStringLiteral("Printing %1 failed: %2").arg(pdf.path(), result.errorText));
        tellUser(pdf.path(), result.errorText);
    }
}

void DVCPrintDefault::tellUser(const QString& printDataPath, const QString& reason) {
    notifyUser_(QStringLiteral("The print job %1 could not be printed: %2")
                    .arg(QFileInfo(printDataPath).fileName(), reason));
}

} // namespace dravelo

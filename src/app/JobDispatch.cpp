#include "app/JobDispatch.h"

#include "base/JobFilePair.h"
#include "base/Settings.h"
#include "documents/DVCPrintDefault.h"
#include "platform/core/Log.h"
#include "platform/core/MainThread.h"
#include "platform/core/UserDefaults.h"
#include "platform/desktop/DocumentController.h"
#include "platform/desktop/ModalQueue.h"
#include "platform/desktop/Workspace.h"
#include "platform/pdf/PdfDocument.h"
#include "platform/pdf/RendererClient.h"
#include "platform/print/PrintSettings.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <thread>

namespace dravelo {
namespace {

constexpr std::chrono::seconds viewerOpenDelay{1};

} // namespace

JobDispatch::JobDispatch(JobDispatchContext context)
    : context_(std::move(context))
    , spooler_(context_.tasks, QStringLiteral("/usr/bin/lp"), printCommandTimeout) {}

void JobDispatch::spawnDocument(const QString& configurationPath) {
    const std::optional<PrintJobAction> action = Settings::readPrintJobAction(context_.defaults);
    const QString printDataPath = JobFilePair::printDataPath(configurationPath);
    if (action == PrintJobAction::PrintDirectlyToPrinter) {
        printDirectly(configurationPath, printDataPath);
    } else if (action == PrintJobAction::OpenInMacPreview) {
        openInViewer(configurationPath, printDataPath);
    } else {
        openAsDocument(printDataPath);
    }
}

bool JobDispatch::isLockedPdf(const QString& printDataPath) {
    // Asked of a renderer of its own, which ends with the question.
    const std::shared_ptr<PdfDocument> pdf =
        PdfDocument::open(printDataPath, std::make_shared<RendererClient>(context_.makeRenderer()));
    if (pdf->state() == PdfDocument::State::Unknown) {
        log(QStringLiteral("Cannot tell whether %1 needs a password (%2); it is printed as it is.")
                .arg(printDataPath, pdf->failure()));
    }
    return pdf->isLocked();
}

void JobDispatch::printDirectly(const QString& configurationPath, const QString& printDataPath) {
    if (isLockedPdf(printDataPath)) {
        // The password prompt belongs to the UI thread, after any prompt or
        // print panel already open there. The pair stays until it is done.
        context_.modalQueue.enqueue(
            [printer = context_.printDef, configurationPath, printDataPath] {
                printer->printDefault(configurationPath, printDataPath);
            });
        return;
    }
    // The file as it is, with no options: lp and the print data's path.
    const PrintResult result = spooler_.printFile(printDataPath, PrintSettings());
    if (!result.succeeded) {
        log(QStringLiteral("Print job %1 was not printed: %2")
                .arg(printDataPath, result.errorText));
        context_.notifyUser(
            QStringLiteral("A print job could not be printed: %1").arg(result.errorText));
    }
    QFile::remove(configurationPath);
    QFile::remove(printDataPath);
}

void JobDispatch::openInViewer(const QString& configurationPath, const QString& printDataPath) {
    const QString viewerCopyPath =
        JobFilePair::replacingExtension(printDataPath, JobFilePair::viewerCopyExtension);
    if (!QFile::copy(printDataPath, viewerCopyPath)) {
        return;
    }
    context_.workspace.openFile(viewerCopyPath);
    std::this_thread::sleep_for(viewerOpenDelay);
    QFile::remove(configurationPath);
    QFile::remove(printDataPath);
    // A viewer that starts cold may look for the copy well after a second.
    // It goes later, from the UI thread's timers, or with the staging
    // directory at exit.
    runOnMainThread([viewerCopyPath] {
        QTimer::singleShot(viewerCopyLifetime, QCoreApplication::instance(),
                           [viewerCopyPath] { QFile::remove(viewerCopyPath); });
    });
}

void JobDispatch::openAsDocument(const QString& printDataPath) {
    // Windows belong to the UI thread. The intake thread may hold the job
    // lock, which the UI thread may wait for, so the opening is handed over
    // without waiting for it. It waits its turn behind any prompt or print
    // panel already open: a job document may open with one of its own.
    DocumentController& documents = context_.documents;
    context_.modalQueue.enqueue([&documents, printDataPath] {
        QString error;
        if (documents.openDocument(printDataPath, true, &error)) {
            log(QStringLiteral("Opened document. %1").arg(printDataPath));
        } else {
            log(QStringLiteral("Failed to open document. %1").arg(printDataPath));
            log(QStringLiteral("Cannot open %1: %2").arg(printDataPath, error));
        }
    });
}

} // namespace dravelo

// Job dispatch: where every intake channel ends.
#include "app/DVCDraveloController.h"

#include "app/JobFilePair.h"
#include "app/SettingsKeys.h"
#include "documents/DVCPrintDefault.h"
#include "platform/core/Log.h"
#include "platform/core/MainThread.h"
#include "platform/core/UserDefaults.h"
#include "platform/desktop/DocumentController.h"
#include "platform/desktop/ModalQueue.h"
#include "platform/desktop/Workspace.h"
#include "platform/pdf/PdfDocument.h"
#include "platform/process/TaskRunner.h"

#include <QFile>

#include <thread>

namespace dravelo {
namespace {

const QString printCommand = QStringLiteral("/usr/bin/lp");
constexpr std::chrono::seconds viewerOpenDelay{1};

void logPrintCommandOutcome(const TaskResult& result, const QString& printDataPath) {
    switch (result.outcome) {
    case TaskResult::Outcome::Exited:
        if (result.exitCode != 0) {
            log(QStringLiteral("Print command exited with status %1: %2")
                    .arg(result.exitCode)
                    .arg(printDataPath));
        }
        break;
    case TaskResult::Outcome::TimedOut:
        log(QStringLiteral("Print command did not finish within %1 s and was ended: %2")
                .arg(DVCDraveloController::printCommandTimeout.count())
                .arg(printDataPath));
        break;
    case TaskResult::Outcome::Crashed:
        log(QStringLiteral("Print command crashed: %1").arg(printDataPath));
        break;
    case TaskResult::Outcome::FailedToStart:
        log(QStringLiteral("Print command %1 could not be started: %2")
                .arg(printCommand, printDataPath));
        break;
    }
}

} // namespace

void DVCDraveloController::spawnDocument(const QString& configurationPath) {
    const QString action =
        context_.defaults.stringForKey(SettingsKeys::actionPrintJob).value_or(QString());
    const QString printDataPath = JobFilePair::printDataPath(configurationPath);
    if (action == SettingsKeys::printDirectly) {
        printDirectly(configurationPath, printDataPath);
    } else if (action == SettingsKeys::openInViewer) {
        openInViewer(configurationPath, printDataPath);
    } else {
        openAsDocument(printDataPath);
    }
}

void DVCDraveloController::printDirectly(const QString& configurationPath,
                                         const QString& printDataPath) {
    if (PdfDocument(printDataPath).isLocked()) {
        // The password prompt belongs to the UI thread, after any prompt or
        // print panel already open there. The pair stays until it is done.
        context_.modalQueue.enqueue([printer = printDef, configurationPath, printDataPath] {
            printer->printDefault(configurationPath, printDataPath);
        });
        return;
    }
    const TaskResult result =
        context_.tasks.run(printCommand, {printDataPath}, printCommandTimeout);
    logPrintCommandOutcome(result, printDataPath);
    QFile::remove(configurationPath);
    QFile::remove(printDataPath);
}

void DVCDraveloController::openInViewer(const QString& configurationPath,
                                        const QString& printDataPath) {
    const QString viewerCopyPath =
        JobFilePair::replacingExtension(printDataPath, QStringLiteral("pdf"));
    if (!QFile::copy(printDataPath, viewerCopyPath)) {
        return;
    }
    context_.workspace.openFile(viewerCopyPath);
    // Give the viewer time to open the copy before it is deleted.
    std::this_thread::sleep_for(viewerOpenDelay);
    QFile::remove(viewerCopyPath);
    QFile::remove(configurationPath);
    QFile::remove(printDataPath);
}

void DVCDraveloController::openAsDocument(const QString& printDataPath) {
    // Windows belong to the UI thread. The intake thread may hold the job
    // lock, which the UI thread may wait for, so the opening is handed over
    // without waiting for it.
    DocumentController& documents = context_.documents;
    runOnMainThread([&documents, printDataPath] {
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

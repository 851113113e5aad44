#pragma once

#include "base/JobSink.h"
#include "platform/pdf/RendererChannel.h"
#include "platform/print/LpPrintSpooler.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>

namespace dravelo {

class DocumentController;
class DVCPrintDefault;
class ModalQueue;
class TaskRunner;
class UserDefaults;
class Workspace;

// What job dispatch is given.
struct JobDispatchContext {
    UserDefaults& defaults;
    TaskRunner& tasks;
    Workspace& workspace;
    DocumentController& documents;
    // The one queue of modal prompts and print panels.
    ModalQueue& modalQueue;
    // Connects to a PDF renderer, for the check of jobs printed directly.
    RendererFactory makeRenderer;
    // The protected-job printer; shared with the prompts queued for it.
    std::shared_ptr<DVCPrintDefault> printDef;
    // Tells the user something; callable from any thread.
    std::function<void(const QString& text)> notifyUser;
};

// Where every intake channel ends: acts on a staged job as actionPrintJob
// says. Prints it directly with lp (a protected job through the
// protected-job printer), opens a copy in the desktop's PDF viewer, or opens
// it as a job document. Runs on the intake threads; what needs the UI thread
// is handed to it without waiting, since the caller may hold the job lock.
class JobDispatch : public JobSink {
public:
    // How long direct printing waits for the print command.
    static constexpr std::chrono::seconds printCommandTimeout{30};
    // How long a copy handed to the viewer is kept for it.
    static constexpr std::chrono::seconds viewerCopyLifetime{60};

    explicit JobDispatch(JobDispatchContext context);

    void spawnDocument(const QString& configurationPath) override;

private:
    // Whether the job's PDF needs a password; a file that is no PDF, or that
    // the renderer cannot tell about, does not.
    bool isLockedPdf(const QString& printDataPath);
    void printDirectly(const QString& configurationPath, const QString& printDataPath);
    void openInViewer(const QString& configurationPath, const QString& printDataPath);
    void openAsDocument(const QString& printDataPath);

    JobDispatchContext context_;
    // Prints jobs that need no password, through the task runner.
    LpPrintSpooler spooler_;
};

} // namespace dravelo

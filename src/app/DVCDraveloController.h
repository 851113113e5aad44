#pragma once

#include "app/ControllerContext.h"
#include "base/JobLock.h"
#include "base/StagingDirectory.h"

#include <QMetaObject>
#include <QString>

#include <chrono>
#include <memory>

namespace dravelo {

class Clipboard;
class DriveMapping;
class DVCNotificationCenter;
class DVCPrintDefault;
class DVCWebsocket;
class JobDispatch;

// The one long-lived object that ties the client together: it makes the
// client's services, job dispatch and the intake channels (the drop folders
// and the clipboard); at start it prepares the staging directory and starts
// intake; it carries the client's commands, and cleans up at exit. Its own work runs on the UI
// thread.
class DVCDraveloController {
public:
    explicit DVCDraveloController(ControllerContext context);
    ~DVCDraveloController();

    DVCDraveloController(const DVCDraveloController&) = delete;
    DVCDraveloController& operator=(const DVCDraveloController&) = delete;

    // Start-up: registers the settings, prepares the staging directory and
    // starts job intake. Runs once.
    void init();
    // Settings registration, run once from init().
    void setupUserDefaults();

    // The user reactivated the client (for instance by starting it again).
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    // Termination handling: runs once as the application quits.
    void applicationEnding();

    // Commands of the client's menu.
    void closeAll();
    void showHelpPDF();
    void showPreferences();
    void connect();

    // Job dispatch and the two intake channels, which init() starts.
    JobDispatch& jobDispatch() { return *dispatch_; }
    DriveMapping& driveMapping() { return *driveMapping_; }
    Clipboard& clipboard() { return *clipboard_; }
    JobLock& jobLock() { return jobLock_; }

    // How long a print command may still run once the client quits.
    static constexpr std::chrono::seconds quitGrace{2};

private:
    void registerDocumentTypes();
    void startIntake();
    void stopIntake();
    // The one place a server session is made: it gets the job lock and the
    // notification centre given, and shows its state as the context says.
    std::shared_ptr<DVCWebsocket> createWebsocket(JobLock* jobLock,
                                                  std::shared_ptr<DVCNotificationCenter> center);
    void openNewPreferencesWindow();
    // Shows a notification; callable from any thread.
    void notifyUser(const QString& text);

    ControllerContext context_;
    StagingDirectory staging_;
    JobLock jobLock_;
    std::shared_ptr<DVCNotificationCenter> notificationCenter_;
    // Shared with the prompts queued for it, which may outlive a pass.
    std::shared_ptr<DVCPrintDefault> printDef;
    std::shared_ptr<DVCWebsocket> websocket_;
    std::unique_ptr<JobDispatch> dispatch_;
    std::unique_ptr<DriveMapping> driveMapping_;
    std::unique_ptr<Clipboard> clipboard_;
    QMetaObject::Connection willTerminate_;
};

} // namespace dravelo

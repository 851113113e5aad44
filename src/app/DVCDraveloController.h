#pragma once

#include "app/ControllerContext.h"
#include "base/StagingDirectory.h"

#include <QMetaObject>
#include <QSet>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

namespace dravelo {

class DVCNotificationCenter;
class DVCPrintDefault;
class DVCWebsocket;
class Pasteboard;
class RepeatingTimer;

// The one long-lived object that ties the client together: it prepares the
// staging directory, starts job intake, carries the client's commands and
// cleans up at exit. Job dispatch, the drop-folder watcher with the drive
// map, and the clipboard channel are members too, each in its own source
// file.
class DVCDraveloController {
public:
    explicit DVCDraveloController(ControllerContext context);
    ~DVCDraveloController();

    DVCDraveloController(const DVCDraveloController&) = delete;
    DVCDraveloController& operator=(const DVCDraveloController&) = delete;

    // Start-up: registers the settings, prepares the staging directory and
    // starts job intake. Runs once, on the UI thread.
    void init();

    // Settings registration, run once from init().
    void setupUserDefaults();
    // Files ending in ".ppf" open as job documents. Run once from init().
    void registerDocumentTypes();

    // The user reactivated the client (for instance by starting it again).
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    // Termination handling: runs once as the application quits.
    void applicationEnding();

    // Commands of the client's menu.
    void closeAll();
    void showHelpPDF();
    void showPreferences();
    void connect();

    // Job dispatch: acts on the job whose configuration file is given, as
    // the actionPrintJob setting says. Runs on the intake threads.
    void spawnDocument(const QString& configurationPath);

    // The drop-folder watcher: every two seconds, one pass, until stopped.
    void checkDirectory(std::stop_token stop);
    // One pass of the watcher: follows enableDriveMap, mounting or
    // unmounting the drop volume, or else scans both drop folders and
    // dispatches the jobs found there.
    void watchPass();

    // The drop volume: creates and mounts it, or unmounts it and deletes
    // its image. Both return when done.
    void connectDrivemap();
    void disconnectDrivemap();

    // The clipboard channel: a timer polls the clipboard every two seconds
    // for a job message, unpacks it into the staging directory and
    // dispatches it. checkPasteboard() starts the timer, replacing a
    // running one.
    void checkPasteboard();
    void pollPasteboard();
    std::optional<QString> readClipDataString(Pasteboard& pasteboard, const QString& type);
    void readMACServerChangesinData(const QString& message);

    QString driveMapMountPoint() const;
    QString driveMapImagePath() const;

    std::mutex& jobLock() { return jobLock_; }
    // The print server session, created at start-up.
    const std::shared_ptr<DVCWebsocket>& websocket() const { return websocket_; }

    // How long direct printing waits for the print command.
    static constexpr std::chrono::seconds printCommandTimeout{30};
    // How long a print command may still run once the client quits.
    static constexpr std::chrono::seconds quitGrace{2};
    // How long a copy handed to the viewer is kept for it.
    static constexpr std::chrono::seconds viewerCopyLifetime{60};
    // Polls on which one clipboard change failed to read before it is given
    // up.
    static constexpr int unreadablePollLimit = 3;

private:
    void startWatcher();
    void stopIntake();
    bool attachDrivemap();
    // Mounts a drop volume that a killed run left behind, so that the
    // unmount that follows takes its jobs off.
    void salvageDrivemap();
    // Moves the complete job file pairs in a folder into the home drop
    // folder.
    void salvagePairs(const QString& from);
    bool takeJobLock(std::unique_lock<std::mutex>& lock);
    void scanDropFolder(const QString& folder);
    void handleDropFolderEntry(const QString& folder, const QString& name);
    bool isReadyJob(const QString& configuration, const QString& printData);
    bool stagingNameInUse(const QString& configurationName) const;
    // Logs a line about a drop-folder entry once while the entry stays as it
    // is, not on every pass.
    void noteOnce(const QString& line);
    void giveUpUnreadableChange(std::int64_t changeCount);

    void createWebsocket();
    void openNewPreferencesWindow();
    // Shows a notification; callable from any thread.
    void notifyUser(const QString& text);
    // Whether the job's PDF needs a password; a file that is no PDF, or that
    // the renderer cannot tell about, does not.
    bool isLockedPdf(const QString& printDataPath);
    void printDirectly(const QString& configurationPath, const QString& printDataPath);
    void openInViewer(const QString& configurationPath, const QString& printDataPath);
    void openAsDocument(const QString& printDataPath);

    ControllerContext context_;
    StagingDirectory staging_;
    std::shared_ptr<DVCNotificationCenter> notificationCenter_;
    // Shared with the prompts queued for it, which may outlive a pass.
    std::shared_ptr<DVCPrintDefault> printDef;
    std::mutex jobLock_;
    std::shared_ptr<DVCWebsocket> websocket_;
    // Touched by the watcher thread alone (and by init before it starts):
    // what it last did to the volume, whether the volume is ready to scan,
    // whether an unusable mount point was reported, and the entries noted
    // on this pass and the one before.
    bool bDriveMapStatus = false;
    bool driveMapAttached_ = false;
    bool mountPointReported_ = false;
    QSet<QString> noted_;
    QSet<QString> notedBefore_;
    std::jthread watcher_;
    // Touched by the clipboard polls alone: the change count last handled.
    std::int64_t lastPasteboardAction = 0;
    // The change that failed to read, and on how many polls.
    std::int64_t unreadChange_ = 0;
    int unreadPolls_ = 0;
    std::unique_ptr<RepeatingTimer> clipboardTimer_;
    // Set when intake stops, so a running poll gives up instead of waiting
    // on the UI thread that is stopping it.
    std::atomic<bool> intakeStopping_ = false;
    QMetaObject::Connection willTerminate_;
};

} // namespace dravelo

#pragma once

#include <QSet>
#include <QString>

#include <atomic>
#include <functional>
#include <stop_token>
#include <thread>

namespace dravelo {

class DiskImageTool;
class JobLock;
class JobSink;
class StagingDirectory;
class UserDefaults;

// What the drop-folder watcher is given.
struct DriveMappingContext {
    UserDefaults& defaults;
    DiskImageTool& diskImages;
    // The home drop folder; the drop volume is mounted inside it.
    QString homePath;
    const StagingDirectory& staging;
    JobLock& jobLock;
    JobSink& jobs;
    // Tells the user something; callable from any thread.
    std::function<void(const QString& text)> notifyUser;
};

// The drop folders: the drop volume the client makes and mounts (the drive
// map), and the home directory. A thread of the watcher's own looks at them
// every two seconds while enableDriveMap is on, moves each complete job file
// pair it finds into the staging directory and hands it to job dispatch. It
// mounts the volume when the setting goes on and unmounts it when it goes
// off; jobs still on the volume then go to the home drop folder.
//
// Everything but start() and stop() runs on the watcher's thread once it has
// started (and on the caller's before that).
class DriveMapping {
public:
    explicit DriveMapping(DriveMappingContext context);
    // Stops the watcher.
    ~DriveMapping();

    DriveMapping(const DriveMapping&) = delete;
    DriveMapping& operator=(const DriveMapping&) = delete;

    // Starts the watcher's thread. UI thread.
    void start();
    // Stops the watcher: a pass under way ends at its next entry, a wait for
    // the job lock gives up, and the thread is joined. UI thread.
    void stop();

    // The watcher's loop: one pass every two seconds until stopped.
    void checkDirectory(std::stop_token stop);
    // One pass: follows enableDriveMap, mounting or unmounting the drop
    // volume, or else scans both drop folders and dispatches the jobs found.
    void watchPass();

    // The drop volume: creates and mounts it, or takes its jobs home,
    // unmounts it and deletes its image. Both return when done.
    void connectDrivemap();
    void disconnectDrivemap();

    // Mounts a drop volume that a killed run left behind, so that the
    // unmount that follows takes its jobs home.
    void salvageDrivemap();
    // Moves the complete job file pairs at the top of a folder into the home
    // drop folder, print data first; nothing there is replaced.
    void salvagePairs(const QString& from);

    QString driveMapMountPoint() const;
    QString driveMapImagePath() const;

private:
    bool attachDrivemap();
    void scanDropFolder(const QString& folder);
    void handleDropFolderEntry(const QString& folder, const QString& name);
    bool isReadyJob(const QString& configuration, const QString& printData);
    bool stagingNameInUse(const QString& configurationName) const;
    // Logs a line about a drop-folder entry once while the entry stays as it
    // is, not on every pass.
    void noteOnce(const QString& line);

    DriveMappingContext context_;
    // What the watcher last did to the volume, whether the volume is ready
    // to scan, whether an unusable mount point was reported, and the entries
    // noted on this pass and the one before.
    bool bDriveMapStatus = false;
    bool driveMapAttached_ = false;
    bool mountPointReported_ = false;
    QSet<QString> noted_;
    QSet<QString> notedBefore_;
    std::atomic<bool> stopping_ = false;
    std::jthread watcher_;
};

} // namespace dravelo

// The drop folders: the drop volume the client mounts and the home
// directory, watched every two seconds for job file pairs.
#include "app/DVCDraveloController.h"

#include "base/JobFilePair.h"
#include "base/SettingsKeys.h"
#include "platform/core/Log.h"
#include "platform/core/UserDefaults.h"
#include "platform/files/DiskImageTool.h"
#include "platform/files/FileManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace dravelo {
namespace {

constexpr std::chrono::seconds watchInterval{2};
constexpr std::chrono::milliseconds jobLockPoll{10};
constexpr qint64 driveMapSize = 384LL * 1024 * 1024;
const QString volumeName = QStringLiteral("DraveloDrive");
const QString markerFileName = QStringLiteral("DVClient.config");

// Sleeps for the interval; false when the watcher is to stop.
bool sleepUnlessStopped(std::stop_token stop, std::chrono::seconds interval) {
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    return !wake.wait_for(lock, stop, interval, [] { return false; }) && !stop.stop_requested();
}

void createEmptyFile(const QString& path) {
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

bool isRegularFile(const QString& path) {
    return FileManager::entryKind(path) == FileManager::EntryKind::RegularFile;
}

// Moves a file back where it came from after the rest of its pair could not
// follow, so the pair is taken whole on a later pass.
void moveBack(const QString& moved, const QString& origin) {
    if (!FileManager::moveItem(moved, origin)) {
        log(QStringLiteral("Cannot move %1 back to %2.").arg(moved, origin));
    }
}

} // namespace

QString DVCDraveloController::driveMapMountPoint() const {
    return context_.homePath + QLatin1Char('/') + volumeName;
}

QString DVCDraveloController::driveMapImagePath() const {
    return staging_.entryPath(StagingDirectory::driveImageName);
}

void DVCDraveloController::connectDrivemap() {
    DiskImageTool& tool = context_.diskImages;
    const QString image = driveMapImagePath();
    // Refused when the image exists already; that image is used as it is.
    tool.createImage(image, driveMapSize, volumeName);
    if (!QFile::exists(image)) {
        return;
    }
    driveMapAttached_ = attachDrivemap();
    if (driveMapAttached_) {
        createEmptyFile(driveMapMountPoint() + QLatin1Char('/') + markerFileName);
    }
}

bool DVCDraveloController::attachDrivemap() {
    const DiskImageTool::AttachResult result =
        context_.diskImages.attachImage(driveMapImagePath(), driveMapMountPoint());
    if (result == DiskImageTool::AttachResult::MountPointInUse && !mountPointReported_) {
        mountPointReported_ = true;
        notifyUser(QStringLiteral("The drop folder %1 holds other files or is a link, so the "
                                  "drop volume was not mounted. Move it away to use the volume.")
                       .arg(driveMapMountPoint()));
    }
    return result == DiskImageTool::AttachResult::Attached;
}

void DVCDraveloController::disconnectDrivemap() {
    const bool attached = std::exchange(driveMapAttached_, false);
    const QString image = driveMapImagePath();
    if (!staging_.isDirectory() || !QFile::exists(image)) {
        return;
    }
    // Jobs still on the volume would go with its image: they go to the home
    // drop folder first.
    if (attached) {
        salvagePairs(driveMapMountPoint());
    }
    context_.diskImages.forceDetach(driveMapMountPoint());
    QFile::remove(image);
}

void DVCDraveloController::salvageDrivemap() {
    if (!staging_.isDirectory() || !isRegularFile(driveMapImagePath())) {
        return;
    }
    // The image outlived the run that mounted it: that run was killed, and
    // jobs dropped on its volume may still be there for the unmount that
    // follows to take off.
    driveMapAttached_ = attachDrivemap();
}

// Moves the complete pairs at the top of `from` into the home drop folder,
// print data first, so that it never shows a configuration without its print
// data. Nothing there is replaced: a pair whose name is taken is logged and
// stays.
void DVCDraveloController::salvagePairs(const QString& from) {
    const QString& to = context_.homePath;
    const QStringList names =
        QDir(from).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    for (const QString& name : names) {
        const QString configuration = from + QLatin1Char('/') + name;
        const QString printData = JobFilePair::printDataPath(configuration);
        if (!JobFilePair::isConfigurationFileName(name) || !isRegularFile(configuration) ||
            !isRegularFile(printData)) {
            continue;
        }
        const QString targetConfiguration = to + QLatin1Char('/') + name;
        const QString targetPrintData = JobFilePair::printDataPath(targetConfiguration);
        if (!FileManager::moveItem(printData, targetPrintData)) {
            log(QStringLiteral("Cannot move %1 to %2.").arg(printData, targetPrintData));
            continue;
        }
        if (!FileManager::moveItem(configuration, targetConfiguration)) {
            log(QStringLiteral("Cannot move %1 to %2.").arg(configuration, targetConfiguration));
            moveBack(targetPrintData, printData);
            continue;
        }
        log(QStringLiteral("Job %1 from %2 was moved to %3.").arg(name, from, to));
    }
}

void DVCDraveloController::startWatcher() {
    watcher_ = std::jthread([this](std::stop_token stop) { checkDirectory(stop); });
}

void DVCDraveloController::checkDirectory(std::stop_token stop) {
    while (sleepUnlessStopped(stop, watchInterval)) {
        watchPass();
    }
}

void DVCDraveloController::watchPass() {
    const bool enabled = context_.defaults.boolForKey(SettingsKeys::enableDriveMap);
    if (enabled != bDriveMapStatus) {
        bDriveMapStatus = enabled;
        if (enabled) {
            connectDrivemap();
        } else {
            disconnectDrivemap();
        }
        return;
    }
    if (!enabled) {
        return;
    }
    notedBefore_ = std::move(noted_);
    noted_.clear();
    // Nothing but the user's drop writes to the volume, so it is scanned
    // without the lock. The server's download writes into the home
    // directory under the lock, so a pair there is never seen half written.
    if (driveMapAttached_) {
        scanDropFolder(driveMapMountPoint());
    }
    std::unique_lock lock(jobLock_, std::defer_lock);
    if (takeJobLock(lock)) {
        scanDropFolder(context_.homePath);
    }
}

// Waits for the job lock, but gives up once intake stops, so that stopping
// intake never waits on whoever holds the lock.
bool DVCDraveloController::takeJobLock(std::unique_lock<std::mutex>& lock) {
    while (!lock.try_lock()) {
        if (intakeStopping_) {
            return false;
        }
        std::this_thread::sleep_for(jobLockPoll);
    }
    return true;
}

void DVCDraveloController::scanDropFolder(const QString& folder) {
    const QStringList names = QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString& name : names) {
        if (intakeStopping_) {
            return;
        }
        handleDropFolderEntry(folder, name);
    }
}

void DVCDraveloController::noteOnce(const QString& line) {
    noted_.insert(line);
    if (!notedBefore_.contains(line)) {
        log(line);
    }
}

// Only regular files make a job: a link would print whatever it points to,
// and opening a FIFO would block the watcher for good. A job whose name is
// taken in staging (a job of that name is still open there) waits.
bool DVCDraveloController::isReadyJob(const QString& configuration, const QString& printData) {
    const FileManager::EntryKind configurationKind = FileManager::entryKind(configuration);
    if (configurationKind == FileManager::EntryKind::Missing) {
        return false;
    }
    if (configurationKind != FileManager::EntryKind::RegularFile) {
        noteOnce(
            QStringLiteral("Not a job, since it is not a regular file: %1").arg(configuration));
        return false;
    }
    const FileManager::EntryKind printDataKind = FileManager::entryKind(printData);
    if (printDataKind != FileManager::EntryKind::Missing &&
        printDataKind != FileManager::EntryKind::RegularFile) {
        noteOnce(QStringLiteral("Not a job, since its print data is not a regular file: %1")
                     .arg(configuration));
        return false;
    }
    const QString name = QFileInfo(configuration).fileName();
    if (stagingNameInUse(name)) {
        noteOnce(QStringLiteral("Job %1 waits until the job of that name in %2 is done.")
                     .arg(name, staging_.path()));
        return false;
    }
    return true;
}

bool DVCDraveloController::stagingNameInUse(const QString& configurationName) const {
    const QString configuration = staging_.entryPath(configurationName);
    for (const QString& path :
         {configuration, JobFilePair::printDataPath(configuration),
          JobFilePair::replacingExtension(configuration, JobFilePair::viewerCopyExtension)}) {
        if (FileManager::entryKind(path) != FileManager::EntryKind::Missing) {
            return true;
        }
    }
    return false;
}

void DVCDraveloController::handleDropFolderEntry(const QString& folder, const QString& name) {
    if (!JobFilePair::isConfigurationFileName(name)) {
        return;
    }
    const QString sourceConfiguration = folder + QLatin1Char('/') + name;
    const QString targetConfiguration = staging_.entryPath(name);
    const QString sourcePrintData = JobFilePair::printDataPath(sourceConfiguration);
    const QString targetPrintData = JobFilePair::printDataPath(targetConfiguration);
    if (!isReadyJob(sourceConfiguration, sourcePrintData)) {
        return;
    }
    log(QStringLiteral("Found Dravelo Job File: %1").arg(name));
    if (FileManager::entryKind(sourcePrintData) == FileManager::EntryKind::Missing) {
        log(QStringLiteral("PCF file found without PPF file present."));
        FileManager::removeItem(sourceConfiguration);
        return;
    }
    log(QStringLiteral("MoveFile (PCF) Source: %1").arg(sourceConfiguration));
    log(QStringLiteral("MoveFile (PCF) Target: %1").arg(targetConfiguration));
    if (!FileManager::moveItem(sourceConfiguration, targetConfiguration)) {
        log(QStringLiteral("Move Failed."));
        return;
    }
    log(QStringLiteral("Move Successful."));
    log(QStringLiteral("MoveFile (PPF) Source: %1").arg(sourcePrintData));
    log(QStringLiteral("MoveFile (PPF) Target: %1").arg(targetPrintData));
    if (!FileManager::moveItem(sourcePrintData, targetPrintData)) {
        log(QStringLiteral("Move Failed."));
        // A pair moves whole or not at all: back in its drop folder, it is
        // taken again once the cause is gone.
        moveBack(targetConfiguration, sourceConfiguration);
        return;
    }
    // Checked again where nobody else can write: an entry swapped for a link
    // after the first look is sent back, not printed.
    if (!isRegularFile(targetConfiguration) || !isRegularFile(targetPrintData)) {
        log(QStringLiteral("Not a job, since it is not a regular file: %1")
                .arg(sourceConfiguration));
        moveBack(targetPrintData, sourcePrintData);
        moveBack(targetConfiguration, sourceConfiguration);
        return;
    }
    log(QStringLiteral("Move Successful."));
    spawnDocument(targetConfiguration);
}

} // namespace dravelo

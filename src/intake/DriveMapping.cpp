// The drop folders: the drop volume the client mounts and the home
// directory, watched every two seconds for job file pairs.
#include "app/DVCDraveloController.h"

#include "app/JobFilePair.h"
#include "app/SettingsKeys.h"
#include "platform/core/Log.h"
#include "platform/core/UserDefaults.h"
#include "platform/files/DiskImageTool.h"
#include "platform/files/FileManager.h"

#include <QDir>
#include <QFile>

namespace dravelo {
namespace {

constexpr std::chrono::seconds watchInterval{2};
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

} // namespace

QString DVCDraveloController::driveMapMountPoint() const {
    return context_.homePath + QLatin1Char('/') + volumeName;
}

QString DVCDraveloController::driveMapImagePath() const {
    return staging_.entryPath(QStringLiteral("drivemap.sparseimage"));
}

void DVCDraveloController::connectDrivemap() {
    DiskImageTool& tool = context_.diskImages;
    const QString image = driveMapImagePath();
    // Refused when the image exists already; that image is used as it is.
    tool.createImage(image, driveMapSize, volumeName);
    if (!QFile::exists(image)) {
        return;
    }
    if (tool.attachImage(image, driveMapMountPoint())) {
        createEmptyFile(driveMapMountPoint() + QLatin1Char('/') + markerFileName);
    }
}

void DVCDraveloController::disconnectDrivemap() {
    const QString image = driveMapImagePath();
    if (!QFile::exists(image)) {
        return;
    }
    context_.diskImages.forceDetach(driveMapMountPoint());
    QFile::remove(image);
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
    // Nothing but the user's drop writes to the volume, so it is scanned
    // without the lock. The server's download writes into the home
    // directory under the lock, so a pair there is never seen half written.
    scanDropFolder(driveMapMountPoint());
    std::lock_guard lock(jobLock_);
    scanDropFolder(context_.homePath);
}

void DVCDraveloController::scanDropFolder(const QString& folder) {
    const QStringList names = QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString& name : names) {
        handleDropFolderEntry(folder, name);
    }
}

void DVCDraveloController::handleDropFolderEntry(const QString& folder, const QString& name) {
    if (!JobFilePair::isConfigurationFileName(name)) {
        return;
    }
    log(QStringLiteral("Found Dravelo Job File: %1").arg(name));
    const QString sourceConfiguration = folder + QLatin1Char('/') + name;
    const QString targetConfiguration = staging_.entryPath(name);
    const QString sourcePrintData = JobFilePair::printDataPath(sourceConfiguration);
    const QString targetPrintData = JobFilePair::printDataPath(targetConfiguration);

    if (!QFile::exists(sourcePrintData)) {
        log(QStringLiteral("PCF file found without PPF file present."));
        FileManager::removeItem(sourceConfiguration);
        return;
    }
    log(QStringLiteral("MoveFile (PCF) Source: %1").arg(sourceConfiguration));
    log(QStringLiteral("MoveFile (PCF) Target: %1").arg(targetConfiguration));
    if (!FileManager::moveItem(sourceConfiguration, targetConfiguration)) {
        log(QStringLiteral("Move Failed."));
        // A stale file of that name blocks the job; it is cleared so the
        // job, still in its drop folder, goes through on the next pass.
        FileManager::removeItem(targetConfiguration);
        return;
    }
    log(QStringLiteral("Move Successful."));
    log(QStringLiteral("MoveFile (PPF) Source: %1").arg(sourcePrintData));
    log(QStringLiteral("MoveFile (PPF) Target: %1").arg(targetPrintData));
    if (!FileManager::moveItem(sourcePrintData, targetPrintData)) {
        log(QStringLiteral("Move Failed."));
        return;
    }
    log(QStringLiteral("Move Successful."));
    spawnDocument(targetConfiguration);
}

} // namespace dravelo

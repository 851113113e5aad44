#include "intake/DriveMapping.h"

#include "base/JobFilePair.h"
#include "base/JobLock.h"
#include "base/JobPairMove.h"
#include "base/JobSink.h"
#include "base/Settings.h"
#include "base/StagingDirectory.h"
#include "platform/core/Log.h"
#include "platform/core/UserDefaults.h"
#include "platform/files/DiskImageTool.h"
#include "platform/files/FileManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <condition_variable>
#include <mutex>

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

bool isRegularFile(const QString& path) {
    return FileManager::entryKind(path) == FileManager::EntryKind::RegularFile;
}

QString fileTag(JobPairMove::File file) {
    return file == JobPairMove::File::Configuration ? QStringLiteral("PCF") : QStringLiteral("PPF");
}

} // namespace

DriveMapping::DriveMapping(DriveMappingContext context)
    : context_(std::move(context)) {}

DriveMapping::~DriveMapping() {
    stop();
}

void DriveMapping::start() {
    watcher_ = std::jthread([this](std::stop_token stop) { checkDirectory(stop); });
}

void DriveMapping::stop() {
    stopping_ = true;
    if (watcher_.joinable()) {
        watcher_.request_stop();
        watcher_.join();
    }
}

QString DriveMapping::driveMapMountPoint() const {
    return context_.homePath + QLatin1Char('/') + volumeName;
}

QString DriveMapping::driveMapImagePath() const {
    return context_.staging.entryPath(StagingDirectory::driveImageName);
}

void DriveMapping::connectDrivemap() {
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

bool DriveMapping::attachDrivemap() {
    const DiskImageTool::AttachResult result =
        context_.diskImages.attachImage(driveMapImagePath(), driveMapMountPoint());
    if (result == DiskImageTool::AttachResult::MountPointInUse && !mountPointReported_) {
        mountPointReported_ = true;
        context_.notifyUser(
            QStringLiteral("The drop folder %1 holds other files or is a link, so the "
                           "drop volume was not mounted. Move it away to use the volume.")
                .arg(driveMapMountPoint()));
    }
    return result == DiskImageTool::AttachResult::Attached;
}

void DriveMapping::disconnectDrivemap() {
    const bool attached = std::exchange(driveMapAttached_, false);
    const QString image = driveMapImagePath();
    if (!context_.staging.isDirectory() || !QFile::exists(image)) {
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

void DriveMapping::salvageDrivemap() {
    if (!context_.staging.isDirectory() || !isRegularFile(driveMapImagePath())) {
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
void DriveMapping::salvagePairs(const QString& from) {
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
        const bool moved = JobPairMove::move(
            configuration, targetConfiguration, JobPairMove::File::PrintData,
            [](JobPairMove::Step step, JobPairMove::File, const QString& source,
               const QString& target) {
                if (step == JobPairMove::Step::Failed) {
                    log(QStringLiteral("Cannot move %1 to %2.").arg(source, target));
                }
            });
        if (moved) {
            log(QStringLiteral("Job %1 from %2 was moved to %3.").arg(name, from, to));
        }
    }
}

void DriveMapping::checkDirectory(std::stop_token stop) {
    while (sleepUnlessStopped(stop, watchInterval)) {
        watchPass();
    }
}

void DriveMapping::watchPass() {
    const bool enabled = context_.defaults.boolForKey(Settings::enableDriveMap);
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
    // Stopping never waits on whoever holds the lock.
    if (context_.jobLock.lockUnless([this] { return stopping_.load(); })) {
        const std::lock_guard lock(context_.jobLock, std::adopt_lock);
        scanDropFolder(context_.homePath);
    }
}

void DriveMapping::scanDropFolder(const QString& folder) {
    const QStringList names = QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString& name : names) {
        if (stopping_) {
            return;
        }
        handleDropFolderEntry(folder, name);
    }
}

void DriveMapping::noteOnce(const QString& line) {
    noted_.insert(line);
    if (!notedBefore_.contains(line)) {
        log(line);
    }
}

// Only regular files make a job: a link would print whatever it points to,
// and opening a FIFO would block the watcher for good. A job whose name is
// taken in staging (a job of that name is still open there) waits.
bool DriveMapping::isReadyJob(const QString& configuration, const QString& printData) {
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
                     .arg(name, context_.staging.path()));
        return false;
    }
    return true;
}

bool DriveMapping::stagingNameInUse(const QString& configurationName) const {
    const QString configuration = context_.staging.entryPath(configurationName);
    for (const QString& path :
         {configuration, JobFilePair::printDataPath(configuration),
          JobFilePair::replacingExtension(configuration, JobFilePair::viewerCopyExtension)}) {
        if (FileManager::entryKind(path) != FileManager::EntryKind::Missing) {
            return true;
        }
    }
    return false;
}

void DriveMapping::handleDropFolderEntry(const QString& folder, const QString& name) {
    if (!JobFilePair::isConfigurationFileName(name)) {
        return;
    }
    const QString sourceConfiguration = folder + QLatin1Char('/') + name;
    const QString targetConfiguration = context_.staging.entryPath(name);
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
    // The configuration goes first; the print data's success is told once
    // the pair is checked where it landed.
    const bool moved = JobPairMove::move(
        sourceConfiguration, targetConfiguration, JobPairMove::File::Configuration,
        [](JobPairMove::Step step, JobPairMove::File file, const QString& source,
           const QString& target) {
            if (step == JobPairMove::Step::Moving) {
                log(QStringLiteral("MoveFile (%1) Source: %2").arg(fileTag(file), source));
                log(QStringLiteral("MoveFile (%1) Target: %2").arg(fileTag(file), target));
            } else if (step == JobPairMove::Step::Failed) {
                log(QStringLiteral("Move Failed."));
            } else if (file == JobPairMove::File::Configuration) {
                log(QStringLiteral("Move Successful."));
            }
        });
    // A pair moves whole or not at all: back in its drop folder, it is taken
    // again once the cause is gone.
    if (!moved) {
        return;
    }
    // Checked again where nobody else can write: an entry swapped for a link
    // after the first look is sent back, not printed.
    if (!isRegularFile(targetConfiguration) || !isRegularFile(targetPrintData)) {
        log(QStringLiteral("Not a job, since it is not a regular file: %1")
                .arg(sourceConfiguration));
        JobPairMove::moveBack(targetPrintData, sourcePrintData);
        JobPairMove::moveBack(targetConfiguration, sourceConfiguration);
        return;
    }
    log(QStringLiteral("Move Successful."));
    context_.jobs.spawnDocument(targetConfiguration);
}

} // namespace dravelo

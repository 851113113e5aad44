#include "app/DVCDraveloController.h"

#include "app/JobDispatch.h"
#include "base/DVCKeyring.h"
#include "base/DVCNotificationCenter.h"
#include "base/Settings.h"
#include "documents/DVCMyDocument.h"
#include "documents/DVCPrintDefault.h"
#include "intake/Clipboard.h"
#include "intake/DriveMapping.h"
#include "platform/core/Log.h"
#include "platform/core/MainThread.h"
#include "platform/core/UserDefaults.h"
#include "platform/desktop/DocumentController.h"
#include "platform/desktop/Window.h"
#include "platform/desktop/Workspace.h"
#include "platform/files/DiskImageTool.h"
#include "platform/process/TaskRunner.h"
#include "server/DVCWebsocket.h"
#include "services/DVCPreferencesController.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace dravelo {
namespace {

const QString preferencesTitle = QStringLiteral("Preferences");

bool isZeroSized(const Window* window) {
    return window->contentSize() == QSize(0, 0);
}

} // namespace

DVCDraveloController::DVCDraveloController(ControllerContext context)
    : context_(std::move(context))
    , staging_(context_.homePath)
    , notificationCenter_(std::make_shared<DVCNotificationCenter>(context_.showTrayMessage))
    , printDef(std::make_shared<DVCPrintDefault>(
          context_.makeAlert, context_.printSpooler,
          [center = notificationCenter_](const QString& text) { center->sendNotification(text); },
          context_.makeRenderer)) {
    const auto notify = [this](const QString& text) { notifyUser(text); };
    dispatch_ = std::make_unique<JobDispatch>(JobDispatchContext{
        context_.defaults, context_.tasks, context_.workspace, context_.documents,
        context_.modalQueue, context_.makeRenderer, printDef, notify});
    driveMapping_ = std::make_unique<DriveMapping>(
        DriveMappingContext{context_.defaults, context_.diskImages, context_.homePath, staging_,
                            jobLock_, *dispatch_, notify});
    clipboard_ = std::make_unique<Clipboard>(
        ClipboardContext{context_.defaults, context_.pasteboard, staging_, *dispatch_});
}

DVCDraveloController::~DVCDraveloController() {
    QObject::disconnect(willTerminate_);
    stopIntake();
}

void DVCDraveloController::init() {
    registerDocumentTypes();
    websocket_ = createWebsocket(&jobLock_, notificationCenter_);
    willTerminate_ =
        QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit,
                         QCoreApplication::instance(), [this] { applicationEnding(); });
    setupUserDefaults();
    staging_.create();
    // A volume left mounted by a crashed client goes before anything else;
    // the jobs still on it go to the home drop folder.
    context_.diskImages.cleanStaleMount(driveMapping_->driveMapMountPoint());
    driveMapping_->salvageDrivemap();
    driveMapping_->disconnectDrivemap();
    if (!staging_.isDirectory()) {
        log(QStringLiteral("~/.dravelo creation failed."));
        notifyUser(QStringLiteral("The folder %1 could not be made, so this client takes no print "
                                  "jobs in this run.")
                       .arg(staging_.path()));
        return;
    }
    log(QStringLiteral("~/.dravelo Created."));
    // Jobs that a killed run left under dispatch go back to the home drop
    // folder to be dispatched anew; the drive image and viewer copies go.
    driveMapping_->salvagePairs(staging_.path());
    staging_.empty();
    startIntake();
}

void DVCDraveloController::setupUserDefaults() {
    UserDefaults& defaults = context_.defaults;
    const bool alreadySet = defaults.stringForKey(Settings::registrationSuppressor).has_value();

    // The recent-documents list is kept empty: job files are deleted once
    // handled, so entries would only point at nothing.
    defaults.setInteger(Settings::recentDocumentsLimit, 0);
    defaults.synchronize();
    if (alreadySet) {
        return;
    }
    defaults.registerDefaults(Settings::registeredDefaults());
    defaults.synchronize();
}

void DVCDraveloController::registerDocumentTypes() {
    const DocumentContext* jobDocuments = context_.jobDocuments;
    if (!jobDocuments) {
        return;
    }
    context_.documents.registerDocumentType(
        QStringLiteral("ppf"), [jobDocuments](const QString& path) -> std::unique_ptr<Document> {
            return std::make_unique<DVCMyDocument>(path, *jobDocuments);
        });
}

bool DVCDraveloController::applicationShouldHandleReopen(bool) {
    const QList<Window*> windows = Window::all();
    if (windows.isEmpty()) {
        openNewPreferencesWindow();
        return true;
    }
    Window* preferences = nullptr;
    for (Window* window : windows) {
        const bool isPreferences = window->windowTitle() == preferencesTitle;
        if (!isPreferences && !window->isPanel() && !isZeroSized(window)) {
            return true;
        }
        if (isPreferences) {
            preferences = window;
        }
    }
    if (preferences) {
        preferences->makeKeyAndOrderFront();
    } else {
        openNewPreferencesWindow();
    }
    return true;
}

void DVCDraveloController::showPreferences() {
    for (Window* window : Window::all()) {
        if (window->windowTitle() == preferencesTitle) {
            window->makeKeyAndOrderFront();
            return;
        }
    }
    openNewPreferencesWindow();
}

void DVCDraveloController::connect() {
    if (!DVCKeyring::keyExists()) {
        openNewPreferencesWindow();
        return;
    }
    if (!websocket_) {
        websocket_ = createWebsocket(&jobLock_, notificationCenter_);
    }
    websocket_->connect();
}

std::shared_ptr<DVCWebsocket>
DVCDraveloController::createWebsocket(JobLock* jobLock,
                                      std::shared_ptr<DVCNotificationCenter> center) {
    auto session = DVCWebsocket::create(context_.defaults, context_.homePath);
    if (jobLock) {
        session->setJobLock(*jobLock);
    }
    session->setNotificationCenter(std::move(center));
    if (context_.showConnectionState) {
        session->setStateObserver(context_.showConnectionState);
    }
    return session;
}

void DVCDraveloController::closeAll() {
    while (!context_.documents.documents().isEmpty()) {
        context_.documents.documents().first()->close();
    }
}

void DVCDraveloController::showHelpPDF() {
    if (!QFileInfo::exists(context_.userGuidePath)) {
        log(QStringLiteral("User guide not found: %1").arg(context_.userGuidePath));
        return;
    }
    context_.workspace.openFile(context_.userGuidePath);
}

void DVCDraveloController::applicationEnding() {
    // The session stops first: its transfers are cut short, so quitting never
    // waits on a server.
    if (websocket_) {
        websocket_->stop();
    }
    // Then intake, so no job is moved in and no volume mounted while the
    // staging directory is emptied and the volume unmounted; the volume's
    // jobs go to the home drop folder.
    stopIntake();
    driveMapping_->disconnectDrivemap();
    staging_.empty();
    if (!context_.defaults.boolForKey(Settings::rememberCredentials)) {
        DVCKeyring::deleteKey();
    }
}

void DVCDraveloController::startIntake() {
    driveMapping_->start();
    clipboard_->checkPasteboard();
}

void DVCDraveloController::stopIntake() {
    // A print command that hangs must not hold up the quit.
    context_.tasks.cutShort(quitGrace);
    clipboard_->stop();
    driveMapping_->stop();
}

void DVCDraveloController::notifyUser(const QString& text) {
    // The center lives on the UI thread; the hand-over keeps it alive.
    runOnMainThread([center = notificationCenter_, text] {
        if (center) {
            center->sendNotification(text);
        }
    });
}

void DVCDraveloController::openNewPreferencesWindow() {
    // A Save that finds no session handed over makes the controller's own,
    // with what the window was given.
    const auto ownSession = [this](JobLock* jobLock,
                                   std::shared_ptr<DVCNotificationCenter> center) {
        if (!websocket_) {
            websocket_ = createWebsocket(jobLock, std::move(center));
        }
        return websocket_;
    };
    // Not kept here: the window is deleted when it closes, and its
    // controller with it.
    auto* preferences = new DVCPreferencesController({context_.defaults, ownSession});
    preferences->setWebsocket(websocket_);
    preferences->setLock(jobLock_);
    preferences->setNotificationCenter(notificationCenter_);
    Window* window = preferences->window();
    window->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(window, &QObject::destroyed, preferences, &QObject::deleteLater);
    preferences->showWindow();
}

} // namespace dravelo

#include "app/DVCDraveloController.h"

#include "base/SettingsKeys.h"
#include "documents/DVCMyDocument.h"
#include "documents/DVCPrintDefault.h"
#include "platform/core/Log.h"
#include "platform/core/MainThread.h"
#include "platform/core/RepeatingTimer.h"
#include "platform/core/UserDefaults.h"
#include "platform/desktop/DocumentController.h"
#include "platform/desktop/Window.h"
#include "platform/desktop/Workspace.h"
#include "platform/files/DiskImageTool.h"
#include "platform/process/TaskRunner.h"
#include "base/DVCKeyring.h"
#include "server/DVCWebsocket.h"
#include "base/DVCNotificationCenter.h"
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
    , staging_(context_.homePath) {}

DVCDraveloController::~DVCDraveloController() {
    QObject::disconnect(willTerminate_);
    stopIntake();
}

void DVCDraveloController::init() {
    notificationCenter_ = std::make_shared<DVCNotificationCenter>(context_.showTrayMessage);
    printDef = std::make_shared<DVCPrintDefault>(
        context_.makeAlert, context_.printSpooler,
        [center = notificationCenter_](const QString& text) { center->sendNotification(text); },
        context_.makeRenderer);
    registerDocumentTypes();
    createWebsocket();
    willTerminate_ =
        QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit,
                         QCoreApplication::instance(), [this] { applicationEnding(); });
    setupUserDefaults();
    staging_.create();
    // A volume left mounted by a crashed client goes before anything else;
    // the jobs still on it go to the home drop folder.
    context_.diskImages.cleanStaleMount(driveMapMountPoint());
    salvageDrivemap();
    disconnectDrivemap();
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
    salvagePairs(staging_.path());
    staging_.empty();
    startWatcher();
    checkPasteboard();
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
        createWebsocket();
    }
    websocket_->connect();
}

void DVCDraveloController::createWebsocket() {
    websocket_ = DVCWebsocket::create(context_.defaults, context_.homePath);
    websocket_->setJobLock(jobLock_);
    websocket_->setNotificationCenter(notificationCenter_);
    if (context_.showConnectionState) {
        websocket_->setStateObserver(context_.showConnectionState);
    }
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
    disconnectDrivemap();
    staging_.empty();
    if (!context_.defaults.boolForKey(SettingsKeys::rememberCredentials)) {
        DVCKeyring::deleteKey();
    }
}

void DVCDraveloController::stopIntake() {
    intakeStopping_ = true;
    // A print command that hangs must not hold up the quit.
    context_.tasks.cutShort(quitGrace);
    if (clipboardTimer_) {
        clipboardTimer_->cancel();
    }
    if (watcher_.joinable()) {
        watcher_.request_stop();
        watcher_.join();
    }
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
    // A Save that finds no session handed over makes the controller's own.
    const auto ownSession = [this] {
        if (!websocket_) {
            createWebsocket();
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

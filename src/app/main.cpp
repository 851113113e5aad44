#include "app/CommandLine.h"
#include "app/DVCDraveloController.h"
#include "base/Settings.h"
#include "documents/DocumentContext.h"
#include "documents/MyNSApplication.h"
#include "platform/core/Log.h"
#include "platform/core/UserDefaults.h"
#include "platform/desktop/DesktopWorkspace.h"
#include "platform/desktop/DialogAlert.h"
#include "platform/desktop/DocumentController.h"
#include "platform/desktop/FileDialogSavePanel.h"
#include "platform/desktop/ModalQueue.h"
#include "platform/desktop/SystemPasteboard.h"
#include "platform/desktop/TrayIcon.h"
#include "platform/desktop/UserActivation.h"
#include "platform/files/FuseDiskImageTool.h"
#include "platform/pdf/RendererProcess.h"
#include "platform/print/DialogPrintPanel.h"
#include "platform/print/LpPrintSpooler.h"
#include "platform/process/SingleInstance.h"
#include "platform/process/Task.h"
#include "platform/process/TerminationSignals.h"

#include <QDir>
#include <QFileInfo>
#include <QIcon>

#include <malloc.h>

#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

using namespace dravelo;

namespace {

// Without a display the client still takes and prints jobs, on Qt's
// offscreen platform. On a Wayland session it runs on XWayland: remote
// desktop clients share the X11 clipboard, and a Wayland client sees the
// clipboard only while it has the focus.
QString choosePlatform() {
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        return {};
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return QStringLiteral("No display found; running on the offscreen platform.");
    }
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    return {};
}

// Qt ends the process with an abort (and a core dump) when its platform
// cannot start, for instance when DISPLAY names no X server. While the
// application object is made, such a failure becomes one clear line and exit
// status 1; Qt's own messages of that moment are passed on only when the
// start went well.
class PlatformStartGuard {
public:
    PlatformStartGuard() { previous_ = qInstallMessageHandler(&PlatformStartGuard::handle); }
    ~PlatformStartGuard() {
        qInstallMessageHandler(previous_);
        for (const auto& [type, text] : held_) {
            qt_message_output(type, QMessageLogContext(), text);
        }
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtFatalMsg) {
            log(QStringLiteral("Cannot start on the display \"%1\" (platform %2): is DISPLAY "
                               "set to a running X server?")
                    .arg(qEnvironmentVariable("DISPLAY"), qEnvironmentVariable("QT_QPA_PLATFORM")));
            std::_Exit(1);
        }
        held_.emplace_back(type, text);
    }

    static inline QtMessageHandler previous_ = nullptr;
    static inline std::vector<std::pair<QtMsgType, QString>> held_;
};

// The user guide lies in the installed layout's data folder, which the build
// names relative to the program's folder; a client started from the build
// tree finds the guide in share/dravelo beside the build's bin/.
QString userGuidePath() {
    const QDir programFolder(QCoreApplication::applicationDirPath());
    const QString installed = QDir::cleanPath(
        programFolder.filePath(QStringLiteral(DRAVELO_DATA_DIR_FROM_BIN "/User Guide.pdf")));
    const QString inBuildTree =
        QDir::cleanPath(programFolder.filePath(QStringLiteral("../share/dravelo/User Guide.pdf")));
    return QFileInfo::exists(installed) || !QFileInfo::exists(inBuildTree) ? installed
                                                                           : inBuildTree;
}

// The PDF renderer lies in the installed layout's folder of helper programs,
// which the build names relative to the program's folder; the build tree
// has the same layout.
QString rendererPath() {
    const QDir programFolder(QCoreApplication::applicationDirPath());
    return QDir::cleanPath(programFolder.filePath(QStringLiteral(DRAVELO_RENDERER_FROM_BIN)));
}

QStringList argumentsAfterProgramName(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    return arguments;
}

int answer(const CommandLine& commandLine) {
    return commandLine.answer(QStringLiteral(DRAVELO_VERSION), userGuidePath());
}

} // namespace

int main(int argc, char** argv) {
    // Pages come from the renderers as images of a megabyte or more, taken
    // on the renderers' threads and let go again on scrolling and closing.
    // At glibc's fixed threshold they are mapped and unmapped each time
    // instead of staying in the heap once freed (13 MiB less for 20 job
    // windows).
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    // --help and --version need neither a display nor the running client.
    const CommandLine early(argumentsAfterProgramName(argc, argv));
    if (early.request() == CommandLine::Request::ShowHelp ||
        early.request() == CommandLine::Request::ShowVersion) {
        const QCoreApplication core(argc, argv);
        return answer(early);
    }

    const QString platformNote = choosePlatform();
    std::optional<PlatformStartGuard> startGuard(std::in_place);
    MyNSApplication app(argc, argv);
    startGuard.reset();
    // Qt has taken its own options (-platform, -session and the like) off the
    // command line; whatever is left is ours to judge.
    const CommandLine commandLine(QCoreApplication::arguments().mid(1));
    if (commandLine.request() != CommandLine::Request::StartClient) {
        return answer(commandLine);
    }
    if (!platformNote.isEmpty()) {
        log(platformNote);
    }

    const QString home = QDir::homePath();
    SingleInstance instance(SingleInstance::defaultRuntimeDirectory(), home);
    if (!instance.claim()) {
        return 0;
    }
    TerminationSignals terminationSignals;

    UserDefaults defaults;
    app.setDefaults(&defaults);
    Task tasks;
    DesktopWorkspace workspace(tasks);
    DocumentController documents;
    FuseDiskImageTool diskImages;
    SystemPasteboard pasteboard;
    LpPrintSpooler printSpooler(tasks);
    DialogPrintPanel printPanel(printSpooler);
    const AlertFactory alerts = [] { return std::make_unique<DialogAlert>(); };
    const RendererFactory renderers = RendererProcess::factory(rendererPath(), RendererLimits{});
    // Before anything else at quit: no renderer outlives the client's run.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [] { RendererProcess::stopAll(); });
    const DocumentContext jobDocuments{defaults,
                                       app,
                                       pasteboard,
                                       printPanel,
                                       ModalQueue::shared(),
                                       alerts,
                                       FileDialogSavePanel::factory(),
                                       renderers};

    // The tray menu's commands reach the controller, made just below.
    DVCDraveloController* commands = nullptr;
    const QString title = QStringLiteral("Dravelo Client");
    const auto toolTip = [&title](DVCWebsocket::ConnectionState state, const QString& address) {
        return title + QLatin1Char('\n') + DVCWebsocket::describe(state, address);
    };
    TrayIcon tray(QIcon(QStringLiteral(":/dravelo.svg")),
                  toolTip(DVCWebsocket::ConnectionState::NoConnection, {}),
                  {{QStringLiteral("Preferences…"), [&] { commands->showPreferences(); }},
                   {QStringLiteral("Connect"), [&] { commands->connect(); }},
                   {QStringLiteral("Close All"), [&] { commands->closeAll(); }},
                   {QStringLiteral("User Guide"), [&] { commands->showHelpPDF(); }},
                   {QStringLiteral("Quit"), [] { QCoreApplication::quit(); }}});
    const auto showConnectionState = [&tray, &toolTip](DVCWebsocket::ConnectionState state,
                                                       const QString& address) {
        tray.setToolTip(toolTip(state, address));
        tray.setDimmed(DVCWebsocket::lacksConnection(state, address));
    };
    // Not connected yet: the client connects when asked to.
    showConnectionState(DVCWebsocket::ConnectionState::NoConnection,
                        defaults.stringForKey(Settings::serviceUrl).value_or(QString()));
    tray.show();
    const auto showTrayMessage = [&tray](const QString& title, const QString& body) {
        return tray.showMessage(title, body);
    };

    DVCDraveloController controller({defaults, tasks, workspace, documents, diskImages, pasteboard,
                                     home, userGuidePath(), showTrayMessage, printSpooler,
                                     ModalQueue::shared(), alerts, &jobDocuments,
                                     showConnectionState, renderers});
    commands = &controller;
    controller.init();

    // Starting the client again is the user's request to see it: the client
    // comes to the front, then reopens.
    QObject::connect(&instance, &SingleInstance::reopenRequested, [&app, &controller] {
        const UserActivation asked;
        app.activateIgnoringOtherApps(true);
        controller.applicationShouldHandleReopen(false);
    });
    return app.exec();
}

#pragma once

#include "platform/desktop/Alert.h"
#include "platform/pdf/RendererChannel.h"
#include "server/DVCWebsocket.h"

#include <QString>

#include <functional>

namespace dravelo {

class DiskImageTool;
struct DocumentContext;
class DocumentController;
class ModalQueue;
class Pasteboard;
class PrintSpooler;
class TaskRunner;
class UserDefaults;
class Workspace;

// What the application controller is given by the platform layer. Tests
// hand it fakes; main() hands it the real thing.
struct ControllerContext {
    UserDefaults& defaults;
    TaskRunner& tasks;
    Workspace& workspace;
    DocumentController& documents;
    DiskImageTool& diskImages;
    Pasteboard& pasteboard;
    // The user's home directory, where the staging directory and the home
    // drop folder are.
    QString homePath;
    // The installed user guide.
    QString userGuidePath;
    // Shows a message from the tray icon; false when there is no tray. Used
    // for notifications when the desktop has no notification service.
    std::function<bool(const QString& title, const QString& body)> showTrayMessage;
    // Prints without a panel, for protected jobs printed directly.
    PrintSpooler& printSpooler;
    // The one queue of modal prompts and print panels.
    ModalQueue& modalQueue;
    // Makes the prompts the client shows.
    AlertFactory makeAlert;
    // What job documents are opened with; without it, "ppf" files open as
    // whatever document type the caller registered.
    const DocumentContext* jobDocuments = nullptr;
    // Shows the print server connection's state (the tray icon's tooltip).
    DVCWebsocket::StateObserver showConnectionState = {};
    // Connects to a PDF renderer, for the checks of jobs printed directly.
    RendererFactory makeRenderer = {};
};

} // namespace dravelo

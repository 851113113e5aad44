#pragma once

#include "app/DVCDraveloController.h"
#include "platform/core/UserDefaults.h"
#include "platform/desktop/DocumentController.h"
#include "platform/desktop/ModalQueue.h"
#include "support/QtPrinting.h"
#include "support/desktop/FakeWorkspace.h"
#include "support/desktop/InMemoryPasteboard.h"
#include "support/desktop/ScriptedAlert.h"
#include "support/files/FakeDiskImageTool.h"
#include "support/pdf/InProcessRenderer.h"
#include "support/print/RecordingPrintSpooler.h"
#include "support/process/FakeTaskRunner.h"

#include <QTemporaryDir>

#include <memory>

namespace dravelo::test {

// An application controller over fakes of the platform layer, with its own
// home directory and settings file in a temporary folder.
class ControllerHarness {
public:
    // Quiet: the settings file turns both intake channels off, so a test of
    // something else is not disturbed by the watcher or the clipboard timer
    // that start() begins. AsConfigured: the settings file starts empty.
    enum class Intake { Quiet, AsConfigured };

    explicit ControllerHarness(Intake intake = Intake::Quiet);
    ~ControllerHarness();

    QString home() const { return homePath_; }
    QString settingsFile() const { return root_.filePath(QStringLiteral("dravelo.conf")); }
    QString stagingPath() const { return homePath_ + QStringLiteral("/.dravelo"); }
    QString stagingFile(const QString& name) const { return stagingPath() + '/' + name; }

    // Writes a setting the way a user editing the settings file would.
    void setSetting(const QString& key, const QString& value);

    // Makes a job file pair NAME.pcf / NAME.ppf in `folder` (the PDF real).
    void writeJob(const QString& folder, const QString& name) const;

    UserDefaults& defaults() { return *defaults_; }
    DVCDraveloController& controller() { return *controller_; }

    QTemporaryDir root_;
    QString homePath_;
    std::unique_ptr<UserDefaults> defaults_;
    FakeTaskRunner tasks;
    FakeWorkspace workspace;
    DocumentController documents;
    FakeDiskImageTool diskImages;
    InMemoryPasteboard pasteboard;
    RecordingPrintSpooler printSpooler;
    // Prompts queued here run when the test processes events, and are
    // dropped with the harness.
    ModalQueue modalQueue;
    // The alerts the controller made, in order.
    QList<ScriptedAlert*> alerts;
    // Notifications, shown through the tray since tests have no desktop bus.
    QStringList notifications;
    std::shared_ptr<InProcessRenderer::Script> renderers =
        std::make_shared<InProcessRenderer::Script>();
    std::unique_ptr<DVCDraveloController> controller_;
};

} // namespace dravelo::test

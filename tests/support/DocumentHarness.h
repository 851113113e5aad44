#pragma once

#include "documents/DocumentContext.h"
#include "platform/core/UserDefaults.h"
#include "platform/desktop/DocumentController.h"
#include "platform/desktop/ModalQueue.h"
#include "support/QtPrinting.h"
#include "support/desktop/InMemoryPasteboard.h"
#include "support/desktop/RecordingAttention.h"
#include "support/desktop/ScriptedAlert.h"
#include "support/desktop/ScriptedSavePanel.h"
#include "support/pdf/InProcessRenderer.h"
#include "support/print/ScriptedPrintPanel.h"

#include <QTemporaryDir>

#include <memory>

namespace dravelo {
class DVCMyDocument;
class Window;
} // namespace dravelo

namespace dravelo::test {

// Job documents over fakes of the platform layer: a staging folder and a
// settings file of their own, prompts answered from a script, a print panel
// that prints at once, renderers in the test's process, and a document
// controller that opens "ppf" files as job documents.
class DocumentHarness {
public:
    DocumentHarness();
    ~DocumentHarness();

    QString stagingFile(const QString& name) const { return staging_.filePath(name); }
    void setSetting(const QString& key, const QString& value);

    // Writes NAME.pcf and NAME.ppf (a real PDF of `pages` pages); with a
    // password the PDF opens only with it (owner password "owner").
    void writeJob(const QString& name, int pages = 1, const QString& password = {}) const;
    bool jobFilesExist(const QString& name) const;

    // Opens NAME.ppf as dispatch does and lets the event loop run once.
    DVCMyDocument* open(const QString& name);
    // The document's window, loaded.
    static Window* windowOf(DVCMyDocument* document);
    // Lets queued work (deferred loads, queued prompts, deletions) run.
    static void processEvents();

    // Answers for the prompts made from now on, in order across prompts.
    QList<ScriptedAlert::Answer> promptAnswers;
    // What the prompts showed, in order.
    QList<ScriptedAlert::Showing> promptShowings;
    QStringList promptButtons;
    QStringList promptKeys;
    QSize promptFieldSize;

    QTemporaryDir staging_;
    std::unique_ptr<UserDefaults> defaults;
    RecordingAttention attention;
    InMemoryPasteboard pasteboard;
    ScriptedPrintPanel printPanel;
    ModalQueue modalQueue;
    ScriptedSavePanel::Script savePanel;
    std::shared_ptr<InProcessRenderer::Script> renderers =
        std::make_shared<InProcessRenderer::Script>();
    std::unique_ptr<DocumentContext> context;
    DocumentController documents;
};

} // namespace dravelo::test

#include "support/DocumentHarness.h"

#include "documents/DVCMyDocument.h"
#include "platform/desktop/Window.h"
#include "platform/desktop/WindowController.h"
#include "support/TestPdf.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>

namespace dravelo::test {

DocumentHarness::DocumentHarness() {
    defaults = std::make_unique<UserDefaults>(staging_.filePath(QStringLiteral("dravelo.conf")));
    context = std::make_unique<DocumentContext>(DocumentContext{
        *defaults, attention, pasteboard, printPanel, modalQueue,
        [this] {
            auto alert = std::make_unique<ScriptedAlert>();
            alert->script(promptAnswers);
            promptAnswers.clear();
            ScriptedAlert* shown = alert.get();
            alert->onShow([this, shown] {
                promptShowings.append(shown->showings().last());
                promptButtons = shown->buttonTitles();
                promptKeys = shown->keyEquivalents();
                promptFieldSize = shown->textFieldSize();
            });
            return alert;
        },
        ScriptedSavePanel::factory(savePanel), InProcessRenderer::factory(renderers)});
    documents.registerDocumentType(QStringLiteral("ppf"), [this](const QString& path) {
        return std::make_unique<DVCMyDocument>(path, *context);
    });
}

DocumentHarness::~DocumentHarness() {
    for (Document* document : documents.documents()) {
        document->close();
    }
    processEvents();
}

void DocumentHarness::setSetting(const QString& key, const QString& value) {
    QSettings settings(defaults->filePath(), QSettings::IniFormat);
    settings.setValue(key, value);
    settings.sync();
}

void DocumentHarness::writeJob(const QString& name, int pages, const QString& password) const {
    const QString pdf = stagingFile(name + QStringLiteral(".ppf"));
    if (password.isEmpty()) {
        TestPdf::write(pdf, pages);
    } else {
        TestPdf::writeEncrypted(pdf, password, QStringLiteral("owner"));
    }
    QFile configuration(stagingFile(name + QStringLiteral(".pcf")));
    configuration.open(QIODevice::WriteOnly);
    configuration.write("copies=1\n");
}

bool DocumentHarness::jobFilesExist(const QString& name) const {
    return QFile::exists(stagingFile(name + QStringLiteral(".ppf"))) ||
           QFile::exists(stagingFile(name + QStringLiteral(".pcf")));
}

DVCMyDocument* DocumentHarness::open(const QString& name) {
    auto* document = qobject_cast<DVCMyDocument*>(
        documents.openDocument(stagingFile(name + QStringLiteral(".ppf")), true));
    processEvents();
    return document;
}

Window* DocumentHarness::windowOf(DVCMyDocument* document) {
    return document->windowControllers().first()->window();
}

void DocumentHarness::processEvents() {
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

} // namespace dravelo::test

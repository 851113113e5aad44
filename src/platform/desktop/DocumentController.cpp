#include "platform/desktop/DocumentController.h"

#include <QFileInfo>

namespace dravelo {

void DocumentController::registerDocumentType(const QString& extension, Factory factory) {
    factories_.insert(extension, std::move(factory));
}

Document* DocumentController::openDocument(const QString& filePath, bool display, QString* error) {
    const auto setError = [error](const QString& text) {
        if (error) {
            *error = text;
        }
    };
    const QString extension = QFileInfo(filePath).suffix();
    const auto factory = factories_.constFind(extension);
    if (factory == factories_.constEnd()) {
        setError(QStringLiteral("no document type opens files ending in \".%1\"").arg(extension));
        return nullptr;
    }
    std::unique_ptr<Document> document = (*factory)(filePath);
    if (!document || !document->read()) {
        setError(QStringLiteral("the file could not be read"));
        return nullptr;
    }
    Document* opened = document.release();
    opened->setParent(this);
    documents_.append(opened);
    connect(opened, &Document::closed, this, &DocumentController::forget);
    opened->makeWindowControllers();
    if (display) {
        opened->showWindows();
    }
    return opened;
}

void DocumentController::forget(Document* document) {
    documents_.removeOne(document);
}

} // namespace dravelo

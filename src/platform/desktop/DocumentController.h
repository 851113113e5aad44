#pragma once

#include "platform/desktop/Document.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace dravelo {

// Opens files as documents of the type registered for their extension and
// keeps the list of open documents. Used on the UI thread.
class DocumentController : public QObject {
    Q_OBJECT

public:
    using Factory = std::function<std::unique_ptr<Document>(const QString& filePath)>;

    void registerDocumentType(const QString& extension, Factory factory);

    // Opens the file as a document, makes its windows and shows them when
    // `display` is set. Returns the document, or null with `error` set.
    Document* openDocument(const QString& filePath, bool display, QString* error = nullptr);

    QList<Document*> documents() const { return documents_; }

private:
    void forget(Document* document);

    QHash<QString, Factory> factories_;
    QList<Document*> documents_;
};

} // namespace dravelo

#pragma once

#include "documents/DocumentContext.h"
#include "platform/desktop/Document.h"

#include <QByteArray>
#include <QSizeF>
#include <QString>

#include <memory>
#include <optional>

namespace dravelo {

class MyPDFView;
class PdfDocument;
class RendererClient;

// One print job shown in a window: the job's print data file (a PDF) with
// its configuration file beside it. The document keeps a view of its own,
// never shown, that prints the PDF; closing the document deletes both files
// of the job. Its PDF renderer, shared by its window and that view, ends
// with it.
class DVCMyDocument : public Document {
    Q_OBJECT

public:
    // The error saving through the document gives.
    struct SaveError {
        QString domain;
        int code = 0;
    };

    DVCMyDocument(const QString& filePath, const DocumentContext& context);
    ~DVCMyDocument() override;

    // The name of the window's form.
    static QString windowNibName();
    void makeWindowControllers() override;

    // Records the job's two files and makes the document's own view once
    // control returns to the UI thread's event loop; the view opens the PDF
    // when it is first printed from.
    void setFileURL(const QString& path);

    // The size of the first page's media box; 0 by 0 without a first page.
    static QSizeF sizeOfPDFDocument(const PdfDocument* document);

    // Prints through the document's own view with the print panel; under
    // printingAction "Hide Document" the document is closed afterwards.
    void printOperationWithSettings();

    // Closes the window and deletes the job's files that exist.
    void close() override;

    // The document is never saved through here: no data, and a SaveError.
    std::optional<QByteArray> dataOfType(const QString& type, SaveError* error) const;
    // Opening always succeeds; the views read the file themselves.
    bool readFromData(const QByteArray& data, const QString& type);
    bool read() override;

    // The user unlocked the PDF in the window; the printing view follows.
    void unlockWithPassword(const QString& password);

    const DocumentContext& context() const { return context_; }
    const std::shared_ptr<RendererClient>& renderer() const { return renderer_; }
    QString documentPPF() const { return documentPPF_; }
    QString documentPCF() const { return documentPCF_; }
    MyPDFView* printingView() const { return _pdfView.get(); }

    static inline const QString osStatusErrorDomain = QStringLiteral("NSOSStatusErrorDomain");
    static constexpr int saveErrorCode = -4;

private:
    void loadPrintingView();

    const DocumentContext& context_;
    std::shared_ptr<RendererClient> renderer_;
    std::unique_ptr<MyPDFView> _pdfView;
    // What the user unlocked the PDF with in the window.
    QString password_;
    QString documentPPF_;
    QString documentPCF_;
    bool closed_ = false;
};

} // namespace dravelo

#include "documents/DVCMyDocument.h"

#include "base/JobFilePair.h"
#include "base/Settings.h"
#include "documents/DVCDocumentController.h"
#include "documents/MyPDFView.h"
#include "platform/core/UserDefaults.h"
#include "platform/desktop/Window.h"
#include "platform/pdf/PdfDocument.h"
#include "platform/pdf/RendererClient.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>

namespace dravelo {

DVCMyDocument::DVCMyDocument(const QString& filePath, const DocumentContext& context)
    : Document(filePath)
    , context_(context)
    , renderer_(std::make_shared<RendererClient>(context.makeRenderer())) {
    setFileURL(filePath);
}

DVCMyDocument::~DVCMyDocument() = default;

QString DVCMyDocument::windowNibName() {
    return QStringLiteral("MyDocument");
}

void DVCMyDocument::makeWindowControllers() {
    addWindowController(new DVCDocumentController(*this));
}

void DVCMyDocument::setFileURL(const QString& path) {
    documentPPF_ = QFileInfo(path).absoluteFilePath();
    documentPCF_ = JobFilePair::replacingExtension(documentPPF_, QStringLiteral("pcf"));
    // Bound to this document: a document deleted before the load runs is
    // not touched, and one closed meanwhile loads nothing.
    QMetaObject::invokeMethod(this, &DVCMyDocument::loadPrintingView, Qt::QueuedConnection);
}

void DVCMyDocument::loadPrintingView() {
    if (closed_) {
        return;
    }
    if (!_pdfView) {
        _pdfView = std::make_unique<MyPDFView>();
        _pdfView->setContext(&context_);
    }
}

QSizeF DVCMyDocument::sizeOfPDFDocument(const PdfDocument* document) {
    if (!document || document->pageCount() < 1) {
        return {0, 0};
    }
    return document->firstPageMediaBox().size();
}

void DVCMyDocument::printOperationWithSettings() {
    if (closed_) {
        return;
    }
    // A print command may come before the deferred load ran.
    if (!_pdfView) {
        loadPrintingView();
    }
    const QPointer<DVCMyDocument> self(this);
    if (!_pdfView->document()) {
        std::shared_ptr<PdfDocument> opened = PdfDocument::open(documentPPF_, renderer_, password_);
        // The document may have been closed while the renderer answered.
        if (!self || closed_) {
            return;
        }
        _pdfView->setDocument(std::move(opened));
    }
    {
        Window offscreen;
        offscreen.setContentSize(QSize(0, 0));
        offscreen.setContentView(_pdfView.get());
        _pdfView->printDocument(this, sizeOfPDFDocument(_pdfView->document().get()));
        // The document may have been closed while the print panel was open.
        if (!self || closed_) {
            return;
        }
        // The view stays the document's when the window goes.
        _pdfView->setParent(nullptr);
    }
    if (Settings::readPrintingAction(context_.defaults) == PrintingAction::HideDocument &&
        !windowControllers().isEmpty()) {
        windowControllers().first()->close();
    }
}

void DVCMyDocument::close() {
    if (closed_) {
        return;
    }
    closed_ = true;
    renderer_->stop();
    Document::close();
    if (QFile::exists(documentPPF_)) {
        QFile::remove(documentPPF_);
    }
    if (QFile::exists(documentPCF_)) {
        QFile::remove(documentPCF_);
    }
    documentPPF_.clear();
    documentPCF_.clear();
    // The view may be printing in a print panel the close came from; it
    // goes once control is back in the event loop.
    if (_pdfView) {
        _pdfView.release()->deleteLater();
    }
}

std::optional<QByteArray> DVCMyDocument::dataOfType(const QString&, SaveError* error) const {
    if (error) {
        *error = {osStatusErrorDomain, saveErrorCode};
    }
    return std::nullopt;
}

bool DVCMyDocument::readFromData(const QByteArray&, const QString&) {
    return true;
}

bool DVCMyDocument::read() {
    return readFromData({}, QFileInfo(filePath()).suffix());
}

void DVCMyDocument::unlockWithPassword(const QString& password) {
    password_ = password;
    // A view that opened the PDF already opens it again, with the password,
    // when it next prints.
    if (_pdfView && _pdfView->document() && _pdfView->document()->isLocked()) {
        _pdfView->setDocument(nullptr);
    }
}

} // namespace dravelo

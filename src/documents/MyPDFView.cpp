#include "documents/MyPDFView.h"

#include "base/Settings.h"
#include "documents/DocumentContext.h"
#include "platform/core/Log.h"
#include "platform/core/UserDefaults.h"
#include "platform/desktop/Pasteboard.h"
#include "platform/desktop/Window.h"
#include "platform/pdf/PdfDocument.h"
#include "platform/print/PrintPanel.h"
#include "platform/print/PrintSettings.h"

#include <QPointer>

namespace dravelo {
MyPDFView::MyPDFView(QWidget* parent)
    : PdfView(parent) {}

void MyPDFView::setContext(const DocumentContext* context) {
    context_ = context;
    setPasteboard(context ? &context->pasteboard : nullptr);
}

void MyPDFView::printDocument(QObject*, const QSizeF&) {
    if (!context_) {
        return;
    }
    if (Settings::readPrintingAction(context_->defaults) == PrintingAction::HideDocument) {
        if (auto* shownIn = qobject_cast<Window*>(window())) {
            shownIn->setContentSize(QSize(0, 0));
            shownIn->setExcludedFromWindowsMenu(true);
        }
    }
    try {
        printWithSharedSettings();
    } catch (const PrintPanel::Failure& failure) {
        log(QStringLiteral("Error: %1").arg(failure.reason()));
    }
}

void MyPDFView::printWithSharedSettings() {
    const std::shared_ptr<PdfDocument> shown = document();
    if (!shown || !shown->isReadable()) {
        throw PrintPanel::Failure(QStringLiteral("The document is not a readable PDF."));
    }
    if (shown->isLocked()) {
        throw PrintPanel::Failure(QStringLiteral("The document is locked by a password."));
    }
    context_->printPanel.runModal(*shown, PrintSettings::shared(), true, true);
}

void MyPDFView::copy() {
    if (hasSelection()) {
        PdfView::copy();
        return;
    }
    if (!context_) {
        return;
    }
    const std::shared_ptr<PdfDocument> shown = document();
    const int page = currentPage();
    Pasteboard* clipboard = &context_->pasteboard;
    if (!shown || page < 0) {
        clipboard->setContents(
            {{QString(Pasteboard::pdfType), {}}, {QString(Pasteboard::tiffType), {}}});
        return;
    }
    const QPointer<MyPDFView> self(this);
    const QString path = shown->path();
    shown->copyPage(page,
                    [self, clipboard, page, path](const QByteArray& pdf, const QByteArray& tiff,
                                                  const QString& failure) {
                        if (!self) {
                            return;
                        }
                        if (!failure.isEmpty()) {
                            log(QStringLiteral("Could not copy page %1 of %2: %3")
                                    .arg(page + 1)
                                    .arg(path, failure));
                            return;
                        }
                        clipboard->setContents({{QString(Pasteboard::pdfType), pdf},
                                                {QString(Pasteboard::tiffType), tiff}});
                    });
}

} // namespace dravelo

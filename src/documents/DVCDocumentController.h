#pragma once

#include "base/Settings.h"
#include "platform/desktop/WindowController.h"

#include <QPointer>
#include <QSizeF>
#include <QString>

#include <memory>
#include <optional>

namespace Ui {
class MyDocument;
}

namespace dravelo {

class DVCMyDocument;
class MyPDFView;
class PdfDocument;

// The window of a job document: it shows the job's PDF sized to the screen,
// asks for the user's attention as notificationPrintJob says, and under
// "Display print dialog only" shows only the print panel and closes again.
// Closing the window closes the document, which deletes the job's files.
class DVCDocumentController : public WindowController {
    Q_OBJECT

public:
    explicit DVCDocumentController(DVCMyDocument& document);
    ~DVCDocumentController() override;

    static QSizeF sizeOfPDFDocument(const PdfDocument* document);

    // The Print command of the window.
    void openPrintDialog();
    // Saves a copy of the PDF where the user chooses, as it came (its
    // encryption kept); a PDF still locked needs its password first.
    void saveDocumentAs();
    bool shouldCloseDocument() const override { return true; }
    // Writes the PDF to the path and shows the written copy from then on; an
    // empty path writes it back to its own file.
    void writePDFToURL(const QString& path);

    MyPDFView* pdfView() const { return _pdfView; }

protected:
    Window* makeWindow() override;
    void windowDidLoad() override;

private:
    // The open-password prompt; false when the user cancelled it.
    bool askOpenPassword(PdfDocument& pdf);
    // The owner-password prompt of Save As: unlocks the PDF with the user's
    // or the owner password; false when the user cancelled the prompt.
    bool askOwnerPassword(PdfDocument& pdf);
    // After the PDF shown was unlocked with the password outside the view.
    void showUnlocked(const QString& password);
    void sizeWindowToScreen(PdfDocument& pdf);
    void requestAttention(std::optional<JobNotification> notification);
    void printDialogOnly(std::optional<JobNotification> notification);
    // Hides the window for good and closes it, and with it the document.
    void closeHidden();
    // The tool bar in the row of the menus.
    void addToolBar();
    void connectActions();
    // Runs modal work in turn with every other prompt and print panel.
    void enqueueModal(void (DVCDocumentController::*work)());

    DVCMyDocument& document_;
    std::unique_ptr<Ui::MyDocument> ui_;
    QPointer<MyPDFView> _pdfView;
};

} // namespace dravelo

#include "documents/DVCDocumentController.h"

#include "base/Settings.h"
#include "documents/DVCMyDocument.h"
#include "documents/DocumentSizing.h"
#include "documents/MyPDFView.h"
#include "documents/PasswordPrompt.h"
#include "platform/core/Log.h"
#include "platform/core/UserDefaults.h"
#include "platform/desktop/Attention.h"
#include "platform/desktop/ModalQueue.h"
#include "platform/desktop/Screen.h"
#include "platform/desktop/Window.h"
#include "platform/pdf/PdfDocument.h"
#include "platform/pdf/PdfToolBar.h"
#include "ui_MyDocument.h"

#include <QActionGroup>
#include <QFileInfo>
#include <QSpinBox>

namespace dravelo {

DVCDocumentController::DVCDocumentController(DVCMyDocument& document)
    : document_(document) {}

DVCDocumentController::~DVCDocumentController() = default;

QSizeF DVCDocumentController::sizeOfPDFDocument(const PdfDocument* document) {
    return DVCMyDocument::sizeOfPDFDocument(document);
}

Window* DVCDocumentController::makeWindow() {
    auto* shown = new Window;
    ui_ = std::make_unique<Ui::MyDocument>();
    ui_->setupUi(shown);
    _pdfView = ui_->pdfView;
    _pdfView->setContext(&document_.context());
    shown->setContentView(_pdfView);
    shown->setWindowTitle(QFileInfo(document_.filePath()).fileName());
    shown->addActions({ui_->actionSaveAs, ui_->actionPrint, ui_->actionClose, ui_->actionCopy,
                       ui_->actionZoomIn, ui_->actionZoomOut, ui_->actionActualSize,
                       ui_->actionFitWidth, ui_->actionFitPage, ui_->actionSinglePage,
                       ui_->actionContinuous, ui_->actionPreviousPage, ui_->actionNextPage});
    addToolBar();
    connectActions();
    return shown;
}

void DVCDocumentController::addToolBar() {
    // The menus' own actions, so that a button runs exactly what its menu
    // item and shortcut run.
    auto* bar = new PdfToolBar(*_pdfView);
    bar->addCommand(ui_->actionPrint, QStringLiteral("document-print"));
    bar->addCommand(ui_->actionSaveAs, QStringLiteral("document-save-as"),
                    QStyle::SP_DialogSaveButton);
    bar->addSeparator();
    bar->addCommand(ui_->actionZoomOut, QStringLiteral("zoom-out"));
    bar->addZoomChoice();
    bar->addCommand(ui_->actionZoomIn, QStringLiteral("zoom-in"));
    bar->addSeparator();
    bar->addCommand(ui_->actionPreviousPage, QStringLiteral("go-previous"), QStyle::SP_ArrowBack);
    bar->addPageField();
    bar->addCommand(ui_->actionNextPage, QStringLiteral("go-next"), QStyle::SP_ArrowForward);
    // Beside the menus, in their row: the window needs no row of its own for
    // the bar, and the view keeps the size the window computes for the page.
    ui_->menuRow->addWidget(bar, 1);
    QWidget::setTabOrder(_pdfView, bar->pageField());
}

void DVCDocumentController::windowDidLoad() {
    const DocumentContext& context = document_.context();
    const QPointer<DVCDocumentController> self(this);
    const std::shared_ptr<PdfDocument> pdf =
        PdfDocument::open(document_.filePath(), document_.renderer());
    // The document may have been closed (Close All) while the renderer answered.
    if (!self || document_.isClosing()) {
        return;
    }
    const bool printDialogOnly =
        Settings::readPrintJobAction(context.defaults) == PrintJobAction::DisplayPrintDialogOnly;
    if (printDialogOnly && pdf->isLocked()) {
        const bool unlocked = askOpenPassword(*pdf);
        // The document may have been closed (Close All) while the prompt was open.
        if (!self || document_.isClosing()) {
            return;
        }
        if (!unlocked) {
            closeHidden();
            return;
        }
    }
    _pdfView->setDocument(pdf);
    if (printDialogOnly) {
        window()->setExcludedFromWindowsMenu(true);
        window()->setContentSize(QSize(0, 0));
    } else {
        sizeWindowToScreen(*pdf);
    }
    const std::optional<JobNotification> notification =
        Settings::readJobNotification(context.defaults);
    requestAttention(notification);
    if (printDialogOnly) {
        this->printDialogOnly(notification);
    }
    if (notification == JobNotification::BringToFront) {
        context.application.activateIgnoringOtherApps(true);
    }
}

bool DVCDocumentController::askOpenPassword(PdfDocument& pdf) {
    PasswordPrompt prompt = PasswordPrompt::forProtectedDocument(document_.context().makeAlert);
    prompt.setProtectedDocument(document_.filePath());
    return prompt.ask(pdf);
}

bool DVCDocumentController::askOwnerPassword(PdfDocument& pdf) {
    PasswordPrompt prompt(document_.context().makeAlert,
                          {QStringLiteral("Unlock"), Alert::returnKey},
                          {QStringLiteral("Cancel"), Alert::escapeKey});
    prompt.setMessageText(QStringLiteral(
        "Without the owner password, you do not have permission to save this document."));
    prompt.setInformativeText(QStringLiteral("Enter the owner password to unlock this document."));
    return prompt.ask(pdf);
}

void DVCDocumentController::sizeWindowToScreen(PdfDocument& pdf) {
    _pdfView->setAutoScales(true);
    _pdfView->setDisplaysPageBreaks(true);
    const bool continuous = _pdfView->displayMode() == PdfView::DisplayMode::SinglePageContinuous;
    const QSize size = DocumentSizing::contentSize(
        Screen::mainVisibleFrame(), continuous, pdf.pageCount(), Screen::scrollerWidth(),
        _pdfView->rowSizeForPage(_pdfView->currentPage()));
    window()->setContentSize(size);
}

void DVCDocumentController::requestAttention(std::optional<JobNotification> notification) {
    Attention& application = document_.context().application;
    if (notification == JobNotification::SingleNotification ||
        notification == JobNotification::BringToFront) {
        application.requestUserAttention(Attention::Request::Informational);
        application.cancelUserAttentionRequest(0);
    } else if (notification == JobNotification::InfiniteNotification) {
        application.requestUserAttention(Attention::Request::Critical);
    } else {
        application.cancelUserAttentionRequest(0);
    }
}

void DVCDocumentController::printDialogOnly(std::optional<JobNotification> notification) {
    Attention& application = document_.context().application;
    // The view prints from a window of its own that is never shown; it goes
    // with that window.
    auto offscreen = std::make_unique<Window>();
    offscreen->setContentSize(_pdfView ? _pdfView->size() : QSize(0, 0));
    offscreen->setContentView(_pdfView);
    if (notification == JobNotification::None) {
        application.cancelUserAttentionRequest(0);
    } else if (notification == JobNotification::BringToFront) {
        application.activateIgnoringOtherApps(true);
    }
    const QPointer<DVCDocumentController> self(this);
    if (_pdfView) {
        _pdfView->printDocument(this, sizeOfPDFDocument(_pdfView->document().get()));
    }
    // The document may have been closed while the print panel was open.
    if (!self) {
        return;
    }
    if (notification == JobNotification::None) {
        application.cancelUserAttentionRequest(0);
    }
    const QList<QRect> screens = Screen::frames();
    offscreen->move(DocumentSizing::printPanelOrigin(
        screens.isEmpty() ? std::nullopt : std::optional<QRect>(screens.first()),
        offscreen->contentSize().width()));
    offscreen.reset();
    window()->close();
}

void DVCDocumentController::closeHidden() {
    window()->setContentSize(QSize(0, 0));
    window()->setExcludedFromWindowsMenu(true);
    window()->close();
}

void DVCDocumentController::openPrintDialog() {
    Attention& application = document_.context().application;
    application.activateIgnoringOtherApps(true);
    document_.printOperationWithSettings();
    application.activateIgnoringOtherApps(true);
}

void DVCDocumentController::saveDocumentAs() {
    if (!_pdfView) {
        return;
    }
    const QPointer<DVCDocumentController> self(this);
    const std::shared_ptr<PdfDocument> pdf = _pdfView->document();
    if (pdf && pdf->isLocked()) {
        const bool unlocked = askOwnerPassword(*pdf);
        if (!self || document_.isClosing()) {
            return;
        }
        if (!unlocked) {
            closeHidden();
            return;
        }
        showUnlocked(pdf->password());
    }
    const std::unique_ptr<SavePanel> panel = document_.context().makeSavePanel();
    panel->setAllowedFileTypes({QStringLiteral("pdf")});
    const int response = panel->runModal();
    if (self && !document_.isClosing() && response == SavePanel::okResponse) {
        writePDFToURL(panel->url());
    }
}

void DVCDocumentController::writePDFToURL(const QString& path) {
    const std::shared_ptr<PdfDocument> pdf = _pdfView ? _pdfView->document() : nullptr;
    if (!pdf) {
        log(QStringLiteral("Nothing to save: the job is not a readable PDF."));
        return;
    }
    const QString target = path.isEmpty() ? pdf->path() : path;
    if (!pdf->writeToPath(target)) {
        log(QStringLiteral("Could not save the document to %1").arg(target));
        return;
    }
    if (!path.isEmpty()) {
        // The copy keeps the original's encryption: open it with the
        // password that opened the original.
        const QPointer<DVCDocumentController> self(this);
        std::shared_ptr<PdfDocument> saved =
            PdfDocument::open(path, document_.renderer(), pdf->password());
        if (!self || document_.isClosing() || !_pdfView) {
            return;
        }
        _pdfView->setDocument(std::move(saved));
    }
    window()->setWindowModified(false);
}

void DVCDocumentController::enqueueModal(void (DVCDocumentController::*work)()) {
    QPointer<DVCDocumentController> self(this);
    document_.context().modalQueue.enqueue([self, work] {
        if (self && !self->document_.isClosing()) {
            (self.data()->*work)();
        }
    });
}

void DVCDocumentController::connectActions() {
    connect(ui_->actionSaveAs, &QAction::triggered, this,
            [this] { enqueueModal(&DVCDocumentController::saveDocumentAs); });
    connect(ui_->actionPrint, &QAction::triggered, this,
            [this] { enqueueModal(&DVCDocumentController::openPrintDialog); });
    connect(ui_->actionClose, &QAction::triggered, this, [this] { window()->close(); });
    const auto onView = [this](void (PdfView::*act)()) {
        return [this, act] {
            if (_pdfView) {
                (_pdfView.data()->*act)();
            }
        };
    };
    connect(ui_->actionCopy, &QAction::triggered, this, onView(&PdfView::copy));
    connect(ui_->actionZoomIn, &QAction::triggered, this, onView(&PdfView::zoomIn));
    connect(ui_->actionZoomOut, &QAction::triggered, this, onView(&PdfView::zoomOut));
    connect(ui_->actionActualSize, &QAction::triggered, this, onView(&PdfView::zoomToActualSize));
    const auto fit = [this](PdfView::AutoScale autoScale) {
        return [this, autoScale] {
            if (_pdfView) {
                _pdfView->setAutoScale(autoScale);
            }
        };
    };
    connect(ui_->actionFitWidth, &QAction::triggered, this, fit(PdfView::AutoScale::Width));
    connect(ui_->actionFitPage, &QAction::triggered, this, fit(PdfView::AutoScale::Page));
    auto* modes = new QActionGroup(this);
    modes->addAction(ui_->actionSinglePage);
    modes->addAction(ui_->actionContinuous);
    const auto showMode = [this](PdfView::DisplayMode mode) {
        return [this, mode] {
            if (_pdfView) {
                _pdfView->setDisplayMode(mode);
            }
        };
    };
    connect(ui_->actionSinglePage, &QAction::triggered, this,
            showMode(PdfView::DisplayMode::SinglePage));
    connect(ui_->actionContinuous, &QAction::triggered, this,
            showMode(PdfView::DisplayMode::SinglePageContinuous));
    const auto turnPage = [this](int by) {
        return [this, by] {
            if (_pdfView) {
                _pdfView->goToPage(_pdfView->currentPage() + by);
            }
        };
    };
    connect(ui_->actionPreviousPage, &QAction::triggered, this, turnPage(-1));
    connect(ui_->actionNextPage, &QAction::triggered, this, turnPage(1));
    connect(_pdfView, &PdfView::unlocked, this,
            [this](const QString& password) { document_.unlockWithPassword(password); });
}

void DVCDocumentController::showUnlocked(const QString& password) {
    // The view shows its document afresh, now open, and the job document's
    // own copy for printing opens with the same password.
    _pdfView->setDocument(_pdfView->document());
    document_.unlockWithPassword(password);
}

} // namespace dravelo

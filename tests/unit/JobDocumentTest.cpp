#include "support/ControllerHarness.h"
#include "support/DocumentHarness.h"
#include "support/LogRecorder.h"
#include "support/TestPdf.h"

#include "documents/DVCDocumentController.h"
#include "documents/DVCMyDocument.h"
#include "documents/DocumentSizing.h"
#include "documents/MyPDFView.h"
#include "platform/desktop/Screen.h"
#include "platform/desktop/Window.h"
#include "platform/pdf/PdfDocument.h"
#include "platform/pdf/PdfToolBar.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <QTest>

using dravelo::DocumentSizing;
using dravelo::DVCDocumentController;
using dravelo::DVCMyDocument;
using dravelo::MyPDFView;
using dravelo::PdfDocument;
using dravelo::PdfToolBar;
using dravelo::PdfView;
using dravelo::RendererRequest;
using dravelo::Screen;
using dravelo::Window;
using dravelo::test::ControllerHarness;
using dravelo::test::DocumentHarness;
using dravelo::test::LogRecorder;
using dravelo::test::ScriptedAlert;
using dravelo::test::TestPdf;

namespace {

const QString preview = QStringLiteral("Preview print job");
const QString dialogOnly = QStringLiteral("Display print dialog only");
const QString incorrect = QStringLiteral("Incorrect password, please try again.");

QByteArray contents(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

DVCDocumentController* controllerOf(DVCMyDocument* document) {
    return static_cast<DVCDocumentController*>(document->windowControllers().first());
}

// Waits until the window's view has what the renderer gave for a page.
PdfView::PageState settledPage(DVCMyDocument* document, int page) {
    const PdfView* view = controllerOf(document)->pdfView();
    const bool settled =
        QTest::qWaitFor([&] { return view->pageState(page) != PdfView::PageState::Waiting; }, 5000);
    return settled ? view->pageState(page) : PdfView::PageState::Waiting;
}

int requestsOf(const DocumentHarness& h, RendererRequest::Kind kind) {
    std::lock_guard lock(h.renderers->mutex);
    return int(std::count_if(h.renderers->requests.begin(), h.renderers->requests.end(),
                             [kind](const RendererRequest& made) { return made.kind == kind; }));
}

TEST(DocumentSizing, FitsOneRowOfPagesToTheScreenToThePixel) {
    struct Case {
        const char* what;
        std::optional<QRect> visibleFrame;
        bool continuous;
        int pageCount;
        QSizeF row;
        QSize expected;
    };
    const QList<Case> cases = {
        {"letter, height bound", QRect(0, 0, 1440, 875), true, 1, {612, 792}, {622, 805}},
        // 706.99999 in double precision is 707 in single precision.
        {"landscape A4, single rounding", QRect(0, 0, 1280, 777), true, 1, {842, 595}, {1000, 707}},
        {"column of pages leaves room for the scroller",
         QRect(0, 0, 1000, 875),
         true,
         3,
         {1000, 500},
         {985, 492}},
        {"one page at a time needs no scroller",
         QRect(0, 0, 1000, 875),
         false,
         3,
         {1000, 500},
         {1000, 500}},
        {"a row of no size", QRect(0, 0, 1440, 875), true, 1, {0, 0}, {600, 400}},
        {"no screen", std::nullopt, true, 1, {612, 792}, {600, 400}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DocumentSizing::contentSize(c.visibleFrame, c.continuous, c.pageCount, 15, c.row),
                  c.expected)
            << c.what;
    }
}

TEST(DocumentSizing, PutsThePrintPanelWindowCentredAtTheScreensHeight) {
    EXPECT_EQ(DocumentSizing::printPanelOrigin(QRect(0, 0, 1440, 900), 501), QPoint(469, 900));
    EXPECT_EQ(DocumentSizing::printPanelOrigin(std::nullopt, 0), QPoint(0, 0));
}

TEST(JobDocument, NamesTheConfigurationFileAfterThePrintData) {
    DocumentHarness h;
    for (const QString& name : {QStringLiteral("A"), QStringLiteral("a.b")}) {
        h.writeJob(name);
        DVCMyDocument* document = h.open(name);
        ASSERT_NE(document, nullptr);
        EXPECT_EQ(document->documentPPF(), h.stagingFile(name + ".ppf"));
        EXPECT_EQ(document->documentPCF(), h.stagingFile(name + ".pcf"));
        EXPECT_EQ(DocumentHarness::windowOf(document)->windowTitle(), name + ".ppf");
    }
    DVCMyDocument::SaveError error;
    EXPECT_FALSE(h.documents.documents().isEmpty());
    auto* first = static_cast<DVCMyDocument*>(h.documents.documents().first());
    EXPECT_FALSE(first->dataOfType(QStringLiteral("ppf"), &error));
    EXPECT_EQ(error.code, -4);
    EXPECT_TRUE(first->readFromData("not a PDF", QStringLiteral("ppf")));
}

TEST(JobDocument, AsksForAttentionAsTheSettingSays) {
    struct Case {
        QString action;
        QString notification;
        QStringList calls;
    };
    const QStringList informational = {"request informational", "cancel 0"};
    const QList<Case> cases = {
        {preview, "Single Notification", informational},
        {preview, "Bring To Front", informational + QStringList{"activate"}},
        {preview, "Infinite Notification", {"request critical"}},
        {preview, "None", {"cancel 0"}},
        {preview, "Something else", {"cancel 0"}},
        {dialogOnly, "None", {"cancel 0", "cancel 0", "cancel 0"}},
        {dialogOnly, "Bring To Front", informational + QStringList{"activate", "activate"}},
    };
    for (const Case& c : cases) {
        DocumentHarness h;
        h.setSetting("actionPrintJob", c.action);
        h.setSetting("notificationPrintJob", c.notification);
        h.writeJob("job");
        h.open("job");
        EXPECT_EQ(h.attention.calls, c.calls)
            << c.action.toStdString() << " / " << c.notification.toStdString();
    }
}

TEST(JobDocument, PreviewShowsTheWindowSizedToTheScreen) {
    DocumentHarness h;
    h.writeJob("job", 3);
    DVCMyDocument* document = h.open("job");
    Window* window = DocumentHarness::windowOf(document);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->contentSize().isEmpty());
    EXPECT_EQ(window->contentSize(), controllerOf(document)->pdfView()->size());
    EXPECT_TRUE(h.promptShowings.isEmpty());
    EXPECT_TRUE(h.printPanel.showings.isEmpty());
    EXPECT_EQ(settledPage(document, 0), PdfView::PageState::Shown);

    window->close();
    DocumentHarness::processEvents();
    EXPECT_FALSE(h.jobFilesExist("job"));
    EXPECT_TRUE(h.documents.documents().isEmpty());
    EXPECT_EQ(h.renderers->stops, 1) << "the window's renderer ends with it";
}

TEST(JobDocument, TheToolBarBesideTheMenusRunsTheirActionsAndLeavesTheViewItsSize) {
    DocumentHarness h;
    h.writeJob("job", 3);
    DVCMyDocument* document = h.open("job");
    Window* window = DocumentHarness::windowOf(document);
    MyPDFView* view = controllerOf(document)->pdfView();
    auto* menus = window->findChild<QMenuBar*>();
    auto* bar = window->findChild<PdfToolBar*>();
    ASSERT_TRUE(menus && bar);

    // One row holds the menus and the controls; under it the view alone, at
    // the size the window computes for a page at its actual size.
    EXPECT_EQ(view->y(), std::max(menus->geometry().bottom(), bar->geometry().bottom()) + 1);
    EXPECT_EQ(view->geometry().bottom(), window->height() - 1);
    const QSize shown = view->size();
    view->zoomToActualSize();
    EXPECT_EQ(shown, DocumentSizing::contentSize(Screen::mainVisibleFrame(), true, 3,
                                                 Screen::scrollerWidth(), view->rowSizeForPage(0)));

    const struct {
        const char* action;
        QString text;
        QString toolTip;
    } commands[] = {
        {"actionPrint", "Print…", "Print… (Ctrl+P)"},
        {"actionSaveAs", "Save a Copy…", "Save a Copy… (Ctrl+Shift+S)"},
        {"actionZoomOut", "Zoom Out", "Zoom Out (Ctrl+-)"},
        {"actionZoomIn", "Zoom In", "Zoom In (Ctrl++)"},
        {"actionPreviousPage", "Previous Page", "Previous Page (PgUp)"},
        {"actionNextPage", "Next Page", "Next Page (PgDown)"},
    };
    QList<QAction*> inMenus;
    for (const QMenu* menu : menus->findChildren<QMenu*>()) {
        inMenus += menu->actions();
    }
    for (const auto& command : commands) {
        SCOPED_TRACE(command.action);
        auto* action = window->findChild<QAction*>(command.action);
        ASSERT_TRUE(action && inMenus.contains(action)) << "the menu's own action";
        QWidget* button = bar->widgetForAction(action);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->accessibleName(), command.text);
        EXPECT_EQ(button->toolTip(), command.toolTip);
        EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
    }
    QTest::mouseClick(bar->widgetForAction(window->findChild<QAction*>("actionPrint")),
                      Qt::LeftButton);
    DocumentHarness::processEvents();
    EXPECT_EQ(h.printPanel.showings.size(), 1);

    // Tab goes from the view to the page field; a page typed there is shown
    // and the keyboard goes back to the view. (A window too narrow for every
    // control keeps the rest behind the bar's extension button.)
    window->resize(1200, window->height());
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), bar->pageField());
    QTest::keyClicks(bar->pageField(), "3");
    QTest::keyClick(bar->pageField(), Qt::Key_Return);
    EXPECT_EQ(view->currentPage(), 2);
    EXPECT_EQ(QApplication::focusWidget(), view);
    view->goToPage(0);
    EXPECT_EQ(bar->pageField()->text(), "1");
}

TEST(JobDocument, TheZoomChoiceSetsAndShowsTheViewsZoom) {
    DocumentHarness h;
    h.writeJob("job", 2);
    DVCMyDocument* document = h.open("job");
    MyPDFView* view = controllerOf(document)->pdfView();
    QComboBox* zoom = DocumentHarness::windowOf(document)->findChild<PdfToolBar*>()->zoomChoice();
    const auto choose = [zoom](const QString& text) {
        const int index = zoom->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        Q_EMIT zoom->activated(index);
    };
    EXPECT_EQ(zoom->currentText(), "Fit Width");
    choose("Fit Page");
    EXPECT_EQ(view->autoScale(), PdfView::AutoScale::Page);
    EXPECT_LE(view->rowSizeForPage(0).height(), view->viewport()->height()) << "a whole page";
    choose("200%");
    EXPECT_EQ(view->zoomFactor(), 2.0);
    view->zoomIn();
    EXPECT_EQ(zoom->currentIndex(), -1);
    EXPECT_EQ(zoom->placeholderText(), "250%");
    view->zoomToActualSize();
    EXPECT_EQ(zoom->currentText(), "Actual Size");
}

TEST(JobDocument, WhenTheRendererCannotOpenOrDrawTheJobItStillPrintsSavesAndCloses) {
    struct Case {
        const char* what;
        QList<RendererRequest::Kind> failing;
        PdfDocument::State state;
        QString logged;
    };
    const QList<Case> cases = {
        {"cannot open", {RendererRequest::Kind::Inspect}, PdfDocument::State::Unknown, {}},
        {"cannot draw",
         {RendererRequest::Kind::Render, RendererRequest::Kind::CopyPage},
         PdfDocument::State::Open,
         "Page 1 of "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DocumentHarness h;
        h.renderers->failing = c.failing;
        h.writeJob("job");
        const QString copy = h.stagingFile("copy.pdf");
        h.savePanel.choice = copy;
        LogRecorder log;
        DVCMyDocument* document = h.open("job");
        MyPDFView* view = controllerOf(document)->pdfView();
        EXPECT_TRUE(DocumentHarness::windowOf(document)->isVisible());
        EXPECT_EQ(view->document()->state(), c.state);
        if (c.state == PdfDocument::State::Open) {
            EXPECT_EQ(settledPage(document, 0), PdfView::PageState::Failed);
            EXPECT_EQ(log.lines().filter(c.logged).size(), 1)
                << log.lines().join('\n').toStdString();
            EXPECT_EQ(requestsOf(h, RendererRequest::Kind::Render), 1) << "not asked again";
            view->copy();
            EXPECT_TRUE(QTest::qWaitFor(
                [&] { return !log.lines().filter("Could not copy").isEmpty(); }, 5000));
            EXPECT_TRUE(h.pasteboard.contents().isEmpty()) << "the clipboard keeps what it had";
        }

        document->printOperationWithSettings();
        ASSERT_EQ(h.printPanel.showings.size(), 1) << "printed as the file it is";
        EXPECT_EQ(h.printPanel.showings[0].path, h.stagingFile("job.ppf"));
        controllerOf(document)->saveDocumentAs();
        EXPECT_EQ(contents(copy), contents(h.stagingFile("job.ppf")));
        DocumentHarness::windowOf(document)->close();
        DocumentHarness::processEvents();
        EXPECT_FALSE(h.jobFilesExist("job"));
    }
}

TEST(JobDocument, ProtectedOrUnreadableJobsOpenWithoutAPromptUnderPreview) {
    DocumentHarness h;
    h.writeJob("locked", 1, "secret");
    QFile bad(h.stagingFile("bad.ppf"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a PDF at all");
    bad.close();
    for (const QString& name : {QStringLiteral("locked"), QStringLiteral("bad")}) {
        DVCMyDocument* document = h.open(name);
        ASSERT_NE(document, nullptr);
        EXPECT_TRUE(DocumentHarness::windowOf(document)->isVisible());
    }
    EXPECT_TRUE(h.promptShowings.isEmpty());
    auto* locked = static_cast<DVCMyDocument*>(h.documents.documents().first());
    EXPECT_TRUE(controllerOf(locked)->pdfView()->document()->isLocked());

    LogRecorder log;
    locked->printOperationWithSettings();
    EXPECT_TRUE(h.printPanel.showings.isEmpty());
    EXPECT_TRUE(log.contains("Error: The document is locked by a password."));
}

TEST(JobDocument, PrintDialogOnlyTakesWrongPasswordsThenPrintsAndCloses) {
    DocumentHarness h;
    h.setSetting("actionPrintJob", dialogOnly);
    h.writeJob("job", 1, "secret");
    h.promptAnswers = {ScriptedAlert::type("wrong"), ScriptedAlert::type("still wrong"),
                       ScriptedAlert::type("secret")};
    bool windowShownWhilePrinting = true;
    h.printPanel.onShow([&] {
        const auto* document = static_cast<DVCMyDocument*>(h.documents.documents().first());
        windowShownWhilePrinting =
            DocumentHarness::windowOf(const_cast<DVCMyDocument*>(document))->isVisible();
    });
    h.open("job");

    ASSERT_EQ(h.promptShowings.size(), 3);
    EXPECT_EQ(h.promptShowings[0].messageText,
              "The document job.ppf is password protected.\nPlease enter the password below.");
    EXPECT_EQ(h.promptShowings[0].informativeText, "");
    EXPECT_EQ(h.promptShowings[1].informativeText, incorrect);
    EXPECT_EQ(h.promptShowings[2].informativeText, incorrect);
    EXPECT_EQ(h.promptButtons, QStringList({"Escape", "Enter"}));
    EXPECT_EQ(h.promptKeys, QStringList({"\x1b", "\r"}));
    EXPECT_EQ(h.promptFieldSize, QSize(200, 24));

    ASSERT_EQ(h.printPanel.showings.size(), 1);
    EXPECT_TRUE(h.printPanel.showings[0].unlockedWithPassword);
    EXPECT_FALSE(windowShownWhilePrinting);
    EXPECT_FALSE(h.jobFilesExist("job"));
    EXPECT_TRUE(h.documents.documents().isEmpty());
}

TEST(JobDocument, CancellingTheOpenPasswordPromptFinishesTheJob) {
    DocumentHarness h;
    h.setSetting("actionPrintJob", dialogOnly);
    h.writeJob("job", 1, "secret");
    h.promptAnswers = {ScriptedAlert::press(ScriptedAlert::firstButtonReturn)};
    h.open("job");
    EXPECT_EQ(h.promptShowings.size(), 1);
    EXPECT_TRUE(h.printPanel.showings.isEmpty());
    EXPECT_TRUE(h.attention.calls.isEmpty());
    EXPECT_FALSE(h.jobFilesExist("job"));
    EXPECT_TRUE(h.documents.documents().isEmpty());
}

TEST(JobDocument, PrintingHidesTheDocumentOnlyUnderHideDocument) {
    for (const QString& action : {QStringLiteral("No Action"), QStringLiteral("Hide Document")}) {
        DocumentHarness h;
        h.setSetting("printingAction", action);
        h.writeJob("job", 2);
        DVCMyDocument* document = h.open("job");
        document->printOperationWithSettings();
        DocumentHarness::processEvents();
        ASSERT_EQ(h.printPanel.showings.size(), 1);
        EXPECT_EQ(h.printPanel.showings[0].path, h.stagingFile("job.ppf"));
        EXPECT_EQ(h.printPanel.showings[0].pageCount, 2);
        EXPECT_TRUE(h.printPanel.showings[0].autoRotate);
        EXPECT_TRUE(h.printPanel.showings[0].fitToPage);
        const bool hidden = action == "Hide Document";
        EXPECT_EQ(h.documents.documents().isEmpty(), hidden) << action.toStdString();
        EXPECT_EQ(h.jobFilesExist("job"), !hidden) << action.toStdString();
    }
}

TEST(JobDocument, AFailedPrintIsLoggedWithItsReason) {
    DocumentHarness h;
    h.writeJob("job");
    DVCMyDocument* document = h.open("job");
    h.printPanel.failWith("lp: The printer or class does not exist.");
    LogRecorder log;
    document->printOperationWithSettings();
    EXPECT_TRUE(log.contains("Error: lp: The printer or class does not exist."));
    EXPECT_EQ(h.documents.documents().size(), 1);
}

TEST(JobDocument, SaveAsOfAProtectedPdfAsksForTheOwnerPassword) {
    DocumentHarness h;
    h.writeJob("kept", 1, "secret");
    h.writeJob("dropped", 1, "secret");
    const QString copy = h.stagingFile("copy.pdf");
    h.savePanel.choice = copy;

    DVCMyDocument* kept = h.open("kept");
    h.promptAnswers = {{ScriptedAlert::firstButtonReturn, QStringLiteral("wrong")},
                       {ScriptedAlert::firstButtonReturn, QStringLiteral("owner")}};
    controllerOf(kept)->saveDocumentAs();
    ASSERT_EQ(h.promptShowings.size(), 2);
    EXPECT_EQ(h.promptShowings[0].informativeText,
              "Enter the owner password to unlock this document.");
    EXPECT_EQ(h.promptShowings[1].informativeText, incorrect);
    EXPECT_EQ(h.promptButtons, QStringList({"Unlock", "Cancel"}));
    EXPECT_EQ(h.savePanel.allowedTypes, QStringList{"pdf"});
    // Written as it came, encryption kept; the window shows the copy.
    EXPECT_EQ(contents(copy), contents(h.stagingFile("kept.ppf")));
    EXPECT_EQ(controllerOf(kept)->pdfView()->document()->path(), copy);
    EXPECT_FALSE(controllerOf(kept)->pdfView()->document()->isLocked());

    h.promptShowings.clear();
    DVCMyDocument* dropped = h.open("dropped");
    h.promptAnswers = {ScriptedAlert::press(ScriptedAlert::secondButtonReturn)};
    controllerOf(dropped)->saveDocumentAs();
    DocumentHarness::processEvents();
    EXPECT_EQ(h.promptShowings.size(), 1);
    EXPECT_EQ(h.savePanel.showings, 1);
    EXPECT_FALSE(h.jobFilesExist("dropped"));
    EXPECT_TRUE(h.jobFilesExist("kept"));
}

TEST(JobDocument, SaveAsOfARestrictedPdfThatOpensGoesStraightToThePanel) {
    DocumentHarness h;
    h.writeJob("report");
    TestPdf::writeEncrypted(h.stagingFile("report.ppf"), QString(), QStringLiteral("owner"), 1,
                            false);
    const QString copy = h.stagingFile("copy.pdf");
    h.savePanel.choice = copy;
    DVCMyDocument* document = h.open("report");
    controllerOf(document)->saveDocumentAs();
    EXPECT_TRUE(h.promptShowings.isEmpty());
    EXPECT_EQ(h.savePanel.showings, 1);
    EXPECT_TRUE(h.jobFilesExist("report"));
    EXPECT_EQ(contents(copy), contents(h.stagingFile("report.ppf")));
    EXPECT_TRUE(contents(copy).contains("/Encrypt"));
}

TEST(JobDocument, SaveAsWritesNothingWhenThePanelIsCancelled) {
    DocumentHarness h;
    h.writeJob("job");
    DVCMyDocument* document = h.open("job");
    controllerOf(document)->saveDocumentAs();
    EXPECT_EQ(h.savePanel.showings, 1);
    EXPECT_TRUE(h.promptShowings.isEmpty());
    EXPECT_EQ(controllerOf(document)->pdfView()->document()->path(), h.stagingFile("job.ppf"));
}

TEST(JobDocument, ADocumentClosedBeforeItsDeferredLoadIsNotTouchedByIt) {
    DocumentHarness h;
    h.setSetting("actionPrintJob", dialogOnly);
    h.writeJob("job");
    auto* document =
        qobject_cast<DVCMyDocument*>(h.documents.openDocument(h.stagingFile("job.ppf"), true));
    ASSERT_NE(document, nullptr);
    // The print-dialog-only flow closed the document inside the opening.
    EXPECT_TRUE(document->isClosing());
    EXPECT_EQ(document->printingView(), nullptr);
    DocumentHarness::processEvents();
    EXPECT_FALSE(h.jobFilesExist("job"));
    EXPECT_EQ(h.printPanel.showings.size(), 1);
}

TEST(JobDocument, CloseAllClosesEveryJobAndDeletesItsFiles) {
    DocumentHarness d;
    ControllerHarness h;
    h.documents.registerDocumentType(QStringLiteral("ppf"), [&d](const QString& path) {
        return std::make_unique<DVCMyDocument>(path, *d.context);
    });
    for (const QString& name : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}) {
        d.writeJob(name);
        ASSERT_NE(h.documents.openDocument(d.stagingFile(name + ".ppf"), true), nullptr);
    }
    // A configuration file already gone leaves the print data to delete.
    QFile::remove(d.stagingFile("b.pcf"));
    h.controller().closeAll();
    DocumentHarness::processEvents();
    EXPECT_TRUE(h.documents.documents().isEmpty());
    for (const QString& name : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}) {
        EXPECT_FALSE(d.jobFilesExist(name)) << name.toStdString();
    }
}

} // namespace

// The client's job windows on their own, for the job window benchmark: opens
// a PDF as a job document RUNS times, as job dispatch does once the job is
// staged, with the renderer program given, and prints one line per run:
// "window MS painted MS", the time from the staged job to its window shown
// and to its first page painted from what the renderer sent. Then, RUNS
// times, what the client did in its own process before its renderers: the
// same PDF loaded with QtPdf and its first page drawn at the window's size
// ("in-process MS").
//
// Usage: job_window_probe RENDERER PDF RUNS   (on a display: xcb or offscreen)

#include "documents/DVCDocumentController.h"
#include "documents/DVCMyDocument.h"
#include "documents/DocumentContext.h"
#include "documents/MyNSApplication.h"
#include "documents/MyPDFView.h"
#include "platform/core/UserDefaults.h"
#include "platform/desktop/DialogAlert.h"
#include "platform/desktop/DocumentController.h"
#include "platform/desktop/FileDialogSavePanel.h"
#include "platform/desktop/ModalQueue.h"
#include "platform/desktop/SystemPasteboard.h"
#include "platform/pdf/RendererProcess.h"
#include "platform/print/DialogPrintPanel.h"
#include "platform/print/LpPrintSpooler.h"
#include "platform/process/Task.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPdfDocument>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace dravelo;

namespace {

// Ends `loop` at the first paint of a view whose first page has come.
class FirstPaint : public QObject {
public:
    FirstPaint(const PdfView& view, QEventLoop& loop)
        : view_(view)
        , loop_(loop) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && view_.pageState(0) == PdfView::PageState::Shown) {
            // After the paint itself.
            QTimer::singleShot(0, &loop_, &QEventLoop::quit);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const PdfView& view_;
    QEventLoop& loop_;
};

// One job: staged, opened, shown and painted; the two times in ms, or -1.
std::pair<double, double> openJob(DocumentController& documents, const QTemporaryDir& staging,
                                  const QString& pdf, int run, QSize& pageSize) {
    const QString name = staging.filePath(QStringLiteral("job-%1").arg(run));
    QFile::copy(pdf, name + QStringLiteral(".ppf"));
    QFile(name + QStringLiteral(".pcf")).open(QIODevice::WriteOnly);
    QElapsedTimer clock;
    clock.start();
    auto* document =
        qobject_cast<DVCMyDocument*>(documents.openDocument(name + QStringLiteral(".ppf"), true));
    if (!document) {
        return {-1, -1};
    }
    const double shown = clock.nsecsElapsed() / 1e6;
    MyPDFView* view =
        static_cast<DVCDocumentController*>(document->windowControllers().first())->pdfView();
    QEventLoop loop;
    FirstPaint watch(*view, loop);
    view->viewport()->installEventFilter(&watch);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    const double painted =
        view->pageState(0) == PdfView::PageState::Shown ? clock.nsecsElapsed() / 1e6 : -1;
    view->viewport()->removeEventFilter(&watch);
    pageSize = view->rowSizeForPage(0).toSize() - QSize(0, 3);
    document->close();
    return {shown, painted};
}

double drawInProcess(const QString& pdf, const QSize& size) {
    QElapsedTimer clock;
    clock.start();
    QPdfDocument document;
    document.load(pdf);
    const QImage page = document.render(0, size);
    return page.isNull() ? -1 : clock.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    MyNSApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: job_window_probe RENDERER PDF RUNS\n");
        return 2;
    }
    const QString renderer = QString::fromLocal8Bit(argv[1]);
    const QString pdf = QString::fromLocal8Bit(argv[2]);
    const int runs = QByteArray(argv[3]).toInt();
    QTemporaryDir staging;
    UserDefaults defaults(staging.filePath(QStringLiteral("dravelo.conf")));
    app.setDefaults(&defaults);
    SystemPasteboard pasteboard;
    Task tasks;
    LpPrintSpooler spooler(tasks);
    DialogPrintPanel printPanel(spooler);
    const DocumentContext context{defaults,
                                  app,
                                  pasteboard,
                                  printPanel,
                                  ModalQueue::shared(),
                                  [] { return std::make_unique<DialogAlert>(); },
                                  FileDialogSavePanel::factory(),
                                  RendererProcess::factory(renderer, RendererLimits{})};
    DocumentController documents;
    documents.registerDocumentType(QStringLiteral("ppf"), [&context](const QString& path) {
        return std::make_unique<DVCMyDocument>(path, context);
    });
    QSize pageSize;
    for (int run = 0; run < runs; ++run) {
        const auto [shown, painted] = openJob(documents, staging, pdf, run, pageSize);
        std::printf("window %.2f painted %.2f\n", shown, painted);
        std::fflush(stdout);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    for (int run = 0; run < runs; ++run) {
        std::printf("in-process %.2f\n", drawInProcess(pdf, pageSize));
    }
    return 0;
}

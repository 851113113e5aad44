// The two ways of printing a PDF with Qt, for the print benchmark: spooling
// the file itself to CUPS as the print panel does, or painting every page
// into a QPrinter at 300 dpi. Prints the seconds the chosen way took.
//
// Usage: print_paths spool|paint FILE.pdf   (to the CUPS default destination)
#include "platform/pdf/PdfDocument.h"
#include "platform/pdf/RendererClient.h"
#include "platform/pdf/RendererProcess.h"
#include "platform/print/LpPrintSpooler.h"
#include "platform/print/PrintSettings.h"
#include "platform/process/Task.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QPdfDocument>
#include <QPrinter>

#include <cstdio>

namespace {

bool spool(const QString& path) {
    const auto document = dravelo::PdfDocument::open(
        path, std::make_shared<dravelo::RendererClient>(std::make_unique<dravelo::RendererProcess>(
                  QStringLiteral(DRAVELO_RENDERER), dravelo::RendererLimits{})));
    dravelo::PrintSettings settings;
    settings.fitToPage = true;
    dravelo::Task tasks;
    return dravelo::LpPrintSpooler(tasks).print(*document, settings).succeeded;
}

bool paint(const QString& path) {
    QPdfDocument document;
    if (document.load(path) != QPdfDocument::Error::None) {
        return false;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setResolution(300);
    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    const QRect area = printer.pageLayout().paintRectPixels(printer.resolution());
    for (int page = 0; page < document.pageCount(); ++page) {
        if (page > 0) {
            printer.newPage();
        }
        const QSize size = (document.pagePointSize(page) * printer.resolution() / 72.0)
                               .toSize()
                               .scaled(area.size(), Qt::KeepAspectRatio);
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter onImage(&image);
        onImage.drawImage(0, 0, document.render(page, size));
        onImage.end();
        painter.drawImage(QPoint(0, 0), image);
    }
    return painter.end();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: print_paths spool|paint FILE.pdf\n");
        return 2;
    }
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString path = QString::fromLocal8Bit(argv[2]);
    QElapsedTimer timer;
    timer.start();
    const bool done = mode == QStringLiteral("spool") ? spool(path) : paint(path);
    std::printf("%.3f\n", timer.nsecsElapsed() / 1e9);
    return done ? 0 : 1;
}

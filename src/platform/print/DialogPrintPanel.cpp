#include "platform/print/DialogPrintPanel.h"

#include "platform/desktop/UserActivation.h"
#include "platform/pdf/PdfDocument.h"
#include "platform/print/PrintSettings.h"
#include "platform/print/PrintSpooler.h"

#include <QPageRanges>
#include <QPrintDialog>
#include <QPrinter>

namespace dravelo {
namespace {

// The page size a media name ("A4", "Letter") names; invalid when none.
QPageSize pageSizeNamed(const QString& media) {
    for (int id = 0; id <= QPageSize::LastPageSize; ++id) {
        const auto sizeId = static_cast<QPageSize::PageSizeId>(id);
        if (QPageSize::key(sizeId).compare(media, Qt::CaseInsensitive) == 0) {
            return QPageSize(sizeId);
        }
    }
    return {};
}

} // namespace

DialogPrintPanel::DialogPrintPanel(PrintSpooler& spooler)
    : spooler_(spooler) {}

void DialogPrintPanel::runModal(const PdfDocument& document, PrintSettings& settings,
                                bool autoRotate, bool fitToPage) {
    QPrinter printer(QPrinter::HighResolution);
    applySettings(settings, printer);
    QPrintDialog dialog(&printer);
    dialog.setWindowTitle(QObject::tr("Print"));
    dialog.setOptions(QAbstractPrintDialog::PrintPageRange |
                      QAbstractPrintDialog::PrintCollateCopies |
                      QAbstractPrintDialog::PrintShowPageSize);
    if (document.pageCount() > 0) {
        dialog.setMinMax(1, document.pageCount());
    }
    UserActivation::presentPrompt(dialog);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    PrintSettings chosen = settings;
    readChoices(printer, chosen);
    chosen.autoRotate = autoRotate;
    chosen.fitToPage = fitToPage;
    settings = chosen;
    const PrintResult result = spooler_.print(document, settings);
    if (!result.succeeded) {
        throw Failure(result.errorText);
    }
}

void DialogPrintPanel::applySettings(const PrintSettings& settings, QPrinter& printer) {
    if (!settings.printerName.isEmpty()) {
        printer.setPrinterName(settings.printerName);
    }
    printer.setCopyCount(settings.copies);
    printer.setCollateCopies(settings.collate);
    if (!settings.pageRanges.isEmpty()) {
        printer.setPrintRange(QPrinter::PageRange);
        printer.setPageRanges(QPageRanges::fromString(settings.pageRanges));
    }
    if (settings.sides) {
        switch (*settings.sides) {
        case PrintSettings::Sides::OneSided:
            printer.setDuplex(QPrinter::DuplexNone);
            break;
        case PrintSettings::Sides::TwoSidedLongEdge:
            printer.setDuplex(QPrinter::DuplexLongSide);
            break;
        case PrintSettings::Sides::TwoSidedShortEdge:
            printer.setDuplex(QPrinter::DuplexShortSide);
            break;
        }
    }
    if (!settings.media.isEmpty()) {
        const QPageSize size = pageSizeNamed(settings.media);
        if (size.isValid()) {
            printer.setPageSize(size);
        }
    }
    if (settings.orientation) {
        printer.setPageOrientation(*settings.orientation == PrintSettings::Orientation::Landscape
                                       ? QPageLayout::Landscape
                                       : QPageLayout::Portrait);
    }
    if (settings.colorMode) {
        printer.setColorMode(*settings.colorMode == PrintSettings::ColorMode::Color
                                 ? QPrinter::Color
                                 : QPrinter::GrayScale);
    }
}

void DialogPrintPanel::readChoices(const QPrinter& printer, PrintSettings& settings) {
    settings.printerName = printer.printerName();
    settings.copies = std::max(1, printer.copyCount());
    settings.collate = printer.collateCopies();
    settings.pageRanges =
        printer.printRange() == QPrinter::PageRange ? printer.pageRanges().toString() : QString();
    switch (printer.duplex()) {
    case QPrinter::DuplexNone:
        settings.sides = PrintSettings::Sides::OneSided;
        break;
    case QPrinter::DuplexLongSide:
        settings.sides = PrintSettings::Sides::TwoSidedLongEdge;
        break;
    case QPrinter::DuplexShortSide:
        settings.sides = PrintSettings::Sides::TwoSidedShortEdge;
        break;
    case QPrinter::DuplexAuto:
        settings.sides.reset();
        break;
    }
    const QPageLayout layout = printer.pageLayout();
    settings.media = layout.pageSize().key();
    settings.orientation = layout.orientation() == QPageLayout::Landscape
                               ? PrintSettings::Orientation::Landscape
                               : PrintSettings::Orientation::Portrait;
    settings.colorMode = printer.colorMode() == QPrinter::Color
                             ? PrintSettings::ColorMode::Color
                             : PrintSettings::ColorMode::Monochrome;
}

} // namespace dravelo

#pragma once

#include "platform/print/PrintPanel.h"

class QPrinter;

namespace dravelo {

class PrintSpooler;

// The print panel as Qt's print dialog over the CUPS destinations; the chosen
// printer and options then go to the spooler with the PDF file itself.
class DialogPrintPanel final : public PrintPanel {
public:
    explicit DialogPrintPanel(PrintSpooler& spooler);

    void runModal(const PdfDocument& document, PrintSettings& settings, bool autoRotate,
                  bool fitToPage) override;

    // The dialog's starting choices from the settings, and the settings from
    // what the user chose.
    static void applySettings(const PrintSettings& settings, QPrinter& printer);
    static void readChoices(const QPrinter& printer, PrintSettings& settings);

private:
    PrintSpooler& spooler_;
};

} // namespace dravelo

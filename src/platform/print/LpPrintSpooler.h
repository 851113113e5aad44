#pragma once

#include "platform/print/PrintSpooler.h"

#include <chrono>

namespace dravelo {

// Spools through CUPS' `lp`. The wait for it is bounded, and the UI stays
// responsive meanwhile; quitting the application cuts it short.
class LpPrintSpooler : public PrintSpooler {
public:
    static constexpr std::chrono::seconds defaultTimeout{30};

    explicit LpPrintSpooler(QString lpProgram = QStringLiteral("/usr/bin/lp"),
                            std::chrono::milliseconds timeout = defaultTimeout);

    PrintResult print(const PdfDocument& document, const PrintSettings& settings) override;

private:
    PrintResult spool(const QString& file, const PrintSettings& settings) const;

    QString lpProgram_;
    std::chrono::milliseconds timeout_;
};

} // namespace dravelo

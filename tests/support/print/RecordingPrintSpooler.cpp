#include "support/print/RecordingPrintSpooler.h"

#include "platform/pdf/PdfDocument.h"

namespace dravelo::test {

PrintResult RecordingPrintSpooler::print(const PdfDocument& document,
                                         const PrintSettings& settings) {
    jobs_.append(
        {document.path(), settings, document.pageCount(), document.wasUnlockedWithPassword()});
    if (hook_) {
        hook_(jobs_.last());
    }
    return result_;
}

} // namespace dravelo::test

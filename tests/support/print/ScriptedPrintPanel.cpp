#include "support/print/ScriptedPrintPanel.h"

#include "platform/pdf/PdfDocument.h"

namespace dravelo::test {

void ScriptedPrintPanel::runModal(const PdfDocument& document, PrintSettings&, bool autoRotate,
                                  bool fitToPage) {
    showings.append({document.path(), document.pageCount(), document.wasUnlockedWithPassword(),
                     autoRotate, fitToPage});
    if (onShow_) {
        onShow_();
    }
    if (!failure_.isEmpty()) {
        throw Failure(failure_);
    }
}

} // namespace dravelo::test

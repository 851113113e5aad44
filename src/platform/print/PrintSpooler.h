#pragma once

#include <QString>

namespace dravelo {

class PdfDocument;
class PrintSettings;

// How handing a document to the print system went.
struct PrintResult {
    bool succeeded = false;
    // The print command's own error text, or ours when it did not run to
    // its end; empty on success.
    QString errorText;
};

// Hands a PDF to the print system with the given settings, without
// rasterising it. Small enough to fake in tests.
class PrintSpooler {
public:
    virtual ~PrintSpooler() = default;

    // Spools the document and returns once the print system has the job.
    // A document unlocked with a password is spooled as an unencrypted
    // private copy next to the original, deleted in every outcome.
    virtual PrintResult print(const PdfDocument& document, const PrintSettings& settings) = 0;
};

} // namespace dravelo

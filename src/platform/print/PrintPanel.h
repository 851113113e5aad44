#pragma once

#include <QString>

#include <stdexcept>

namespace dravelo {

class PdfDocument;
class PrintSettings;

// The print panel: the user chooses a printer and options for a document,
// which is then handed to the print system as it is, never rasterised.
class PrintPanel {
public:
    // Raised when the print system did not take the document; the reason is
    // the print command's own error text.
    class Failure : public std::runtime_error {
    public:
        explicit Failure(const QString& reason)
            : std::runtime_error(reason.toStdString())
            , reason_(reason) {}
        QString reason() const { return reason_; }

    private:
        QString reason_;
    };

    virtual ~PrintPanel() = default;

    // Shows the panel with `settings` as the starting choices. When the user
    // prints, the choices are kept in `settings` (with autoRotate and
    // fitToPage as given) and the document is spooled; a cancelled panel
    // changes nothing. Raises Failure when spooling fails.
    virtual void runModal(const PdfDocument& document, PrintSettings& settings, bool autoRotate,
                          bool fitToPage) = 0;
};

} // namespace dravelo

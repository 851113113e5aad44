#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace dravelo {

// The print settings of the run: what the print panel last chose, and what
// printing without a panel uses. An option left unset goes to the printer's
// own default. Turns into the options of `lp` in one place.
class PrintSettings {
public:
    enum class Sides { OneSided, TwoSidedLongEdge, TwoSidedShortEdge };
    enum class Orientation { Portrait, Landscape };
    enum class ColorMode { Color, Monochrome };

    // The settings the print panel and printing without a panel share; UI
    // thread only. They start at the default destination.
    static PrintSettings& shared();

    // Empty: the default destination.
    QString printerName;
    int copies = 1;
    bool collate = true;
    // CUPS page ranges, such as "1-2,5"; empty: every page.
    QString pageRanges;
    std::optional<Sides> sides;
    // A media name CUPS knows, such as "A4" or "Letter".
    QString media;
    std::optional<Orientation> orientation;
    std::optional<ColorMode> colorMode;
    // Scale each page to fit the paper.
    bool fitToPage = false;
    // Let the print system turn pages to match the paper.
    bool autoRotate = true;

    // The options of `lp` for these settings, without the file.
    QStringList lpArguments() const;

    bool operator==(const PrintSettings&) const = default;
};

} // namespace dravelo

#include "platform/print/PrintSettings.h"

#include "support/QtPrinting.h"

#include <gtest/gtest.h>

using dravelo::PrintSettings;

namespace {

TEST(PrintSettings, BecomeLpOptionsWithUnsetChoicesLeftToThePrinter) {
    struct Case {
        const char* name;
        std::function<void(PrintSettings&)> change;
        QStringList arguments;
    };
    const QList<Case> cases{
        {"nothing chosen: the default destination as it is", [](PrintSettings&) {}, {}},
        {"one copy needs no collation", [](PrintSettings& s) { s.collate = false; }, {}},
        {"everything chosen",
         [](PrintSettings& s) {
             s.printerName = QStringLiteral("Office");
             s.copies = 2;
             s.collate = false;
             s.pageRanges = QStringLiteral("1-2,5");
             s.sides = PrintSettings::Sides::TwoSidedShortEdge;
             s.media = QStringLiteral("A4");
             s.orientation = PrintSettings::Orientation::Landscape;
             s.colorMode = PrintSettings::ColorMode::Monochrome;
             s.fitToPage = true;
             s.autoRotate = false;
         },
         {"-d", "Office",
          "-n", "2",
          "-o", "collate=false",
          "-o", "page-ranges=1-2,5",
          "-o", "sides=two-sided-short-edge",
          "-o", "media=A4",
          "-o", "landscape",
          "-o", "print-color-mode=monochrome",
          "-o", "fit-to-page",
          "-o", "nopdfAutoRotate"}},
        {"portrait, one-sided, colour",
         [](PrintSettings& s) {
             s.orientation = PrintSettings::Orientation::Portrait;
             s.sides = PrintSettings::Sides::OneSided;
             s.colorMode = PrintSettings::ColorMode::Color;
         },
         {"-o", "sides=one-sided", "-o", "orientation-requested=3", "-o",
          "print-color-mode=color"}},
    };
    for (const Case& c : cases) {
        PrintSettings settings;
        c.change(settings);
        EXPECT_EQ(settings.lpArguments(), c.arguments) << c.name;
    }
}

} // namespace

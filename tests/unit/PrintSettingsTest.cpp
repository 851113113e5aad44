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
        {"printer",
         [](PrintSettings& s) { s.printerName = QStringLiteral("Office"); },
         {"-d", "Office"}},
        {"one copy needs no collation", [](PrintSettings& s) { s.collate = false; }, {}},
        {"copies, collated",
         [](PrintSettings& s) { s.copies = 3; },
         {"-n", "3", "-o", "collate=true"}},
        {"copies, not collated",
         [](PrintSettings& s) {
             s.copies = 2;
             s.collate = false;
         },
         {"-n", "2", "-o", "collate=false"}},
        {"page ranges",
         [](PrintSettings& s) { s.pageRanges = QStringLiteral("1-2,5"); },
         {"-o", "page-ranges=1-2,5"}},
        {"two-sided",
         [](PrintSettings& s) { s.sides = PrintSettings::Sides::TwoSidedLongEdge; },
         {"-o", "sides=two-sided-long-edge"}},
        {"short edge",
         [](PrintSettings& s) { s.sides = PrintSettings::Sides::TwoSidedShortEdge; },
         {"-o", "sides=two-sided-short-edge"}},
        {"one-sided",
         [](PrintSettings& s) { s.sides = PrintSettings::Sides::OneSided; },
         {"-o", "sides=one-sided"}},
        {"media", [](PrintSettings& s) { s.media = QStringLiteral("A4"); }, {"-o", "media=A4"}},
        {"landscape",
         [](PrintSettings& s) { s.orientation = PrintSettings::Orientation::Landscape; },
         {"-o", "landscape"}},
        {"portrait",
         [](PrintSettings& s) { s.orientation = PrintSettings::Orientation::Portrait; },
         {"-o", "orientation-requested=3"}},
        {"grey",
         [](PrintSettings& s) { s.colorMode = PrintSettings::ColorMode::Monochrome; },
         {"-o", "print-color-mode=monochrome"}},
        {"fitted, not rotated",
         [](PrintSettings& s) {
             s.fitToPage = true;
             s.autoRotate = false;
         },
         {"-o", "fit-to-page", "-o", "nopdfAutoRotate"}},
    };
    for (const Case& c : cases) {
        PrintSettings settings;
        c.change(settings);
        EXPECT_EQ(settings.lpArguments(), c.arguments) << c.name;
    }
}

} // namespace

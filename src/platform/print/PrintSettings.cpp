#include "platform/print/PrintSettings.h"

namespace dravelo {
namespace {

QString sidesName(PrintSettings::Sides sides) {
    switch (sides) {
    case PrintSettings::Sides::OneSided:
        return QStringLiteral("one-sided");
    case PrintSettings::Sides::TwoSidedLongEdge:
        return QStringLiteral("two-sided-long-edge");
    case PrintSettings::Sides::TwoSidedShortEdge:
        return QStringLiteral("two-sided-short-edge");
    }
    return {};
}

QString orientationOption(PrintSettings::Orientation orientation) {
    return orientation == PrintSettings::Orientation::Landscape
               ? QStringLiteral("landscape")
               : QStringLiteral("orientation-requested=3");
}

QString colorModeName(PrintSettings::ColorMode mode) {
    return mode == PrintSettings::ColorMode::Monochrome ? QStringLiteral("monochrome")
                                                        : QStringLiteral("color");
}

} // namespace

PrintSettings& PrintSettings::shared() {
    static PrintSettings settings;
    return settings;
}

QStringList PrintSettings::lpArguments() const {
    QStringList arguments;
    const auto option = [&arguments](const QString& value) {
        arguments << QStringLiteral("-o") << value;
    };
    if (!printerName.isEmpty()) {
        arguments << QStringLiteral("-d") << printerName;
    }
    if (copies > 1) {
        arguments << QStringLiteral("-n") << QString::number(copies);
        option(collate ? QStringLiteral("collate=true") : QStringLiteral("collate=false"));
    }
    if (!pageRanges.isEmpty()) {
        option(QStringLiteral("page-ranges=") + pageRanges);
    }
    if (sides) {
        option(QStringLiteral("sides=") + sidesName(*sides));
    }
    if (!media.isEmpty()) {
        option(QStringLiteral("media=") + media);
    }
    if (orientation) {
        option(orientationOption(*orientation));
    }
    if (colorMode) {
        option(QStringLiteral("print-color-mode=") + colorModeName(*colorMode));
    }
    if (fitToPage) {
        option(QStringLiteral("fit-to-page"));
    }
    if (!autoRotate) {
        option(QStringLiteral("nopdfAutoRotate"));
    }
    return arguments;
}

} // namespace dravelo

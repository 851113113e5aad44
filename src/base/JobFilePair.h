#pragma once

#include <QString>

namespace dravelo {

// A print job is two files with one base name in one folder: NAME.pcf (the
// configuration, which announces the job) and NAME.ppf (the print data, a
// PDF). This class holds the naming rules every intake channel shares.
class JobFilePair {
public:
    static inline const QString configurationExtension = QStringLiteral("pcf");
    static inline const QString printDataExtension = QStringLiteral("ppf");
    // The copy of the print data handed to the desktop's PDF viewer.
    static inline const QString viewerCopyExtension = QStringLiteral("pdf");

    // Whether a folder entry announces a job: its name ends in ".pcf",
    // compared case-sensitively.
    static bool isConfigurationFileName(const QString& name);

    // The path with the extension of its last component (what follows its
    // last dot) replaced; a path without one gets the extension appended.
    static QString replacingExtension(const QString& path, const QString& extension);

    static QString printDataPath(const QString& configurationPath);
    static QString configurationPath(const QString& printDataPath);
};

} // namespace dravelo

#include "base/JobFilePair.h"

namespace dravelo {

bool JobFilePair::isConfigurationFileName(const QString& name) {
    return name.endsWith(QLatin1Char('.') + configurationExtension, Qt::CaseSensitive);
}

QString JobFilePair::replacingExtension(const QString& path, const QString& extension) {
    const qsizetype lastSlash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype lastDot = path.lastIndexOf(QLatin1Char('.'));
    const QString base = lastDot > lastSlash ? path.left(lastDot) : path;
    return base + QLatin1Char('.') + extension;
}

QString JobFilePair::printDataPath(const QString& configurationPath) {
    return replacingExtension(configurationPath, printDataExtension);
}

QString JobFilePair::configurationPath(const QString& printDataPath) {
    return replacingExtension(printDataPath, configurationExtension);
}

} // namespace dravelo

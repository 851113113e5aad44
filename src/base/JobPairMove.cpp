#include "base/JobPairMove.h"

#include "base/JobFilePair.h"
#include "platform/core/Log.h"
#include "platform/files/FileManager.h"

namespace dravelo {

bool JobPairMove::move(const QString& configuration, const QString& targetConfiguration, File first,
                       const Listener& listener) {
    const auto pathOf = [&](File file, const QString& configurationPath) {
        return file == File::Configuration ? configurationPath
                                           : JobFilePair::printDataPath(configurationPath);
    };
    const auto moveOne = [&](File file) {
        const QString source = pathOf(file, configuration);
        const QString target = pathOf(file, targetConfiguration);
        if (listener) {
            listener(Step::Moving, file, source, target);
        }
        const bool moved = FileManager::moveItem(source, target);
        if (listener) {
            listener(moved ? Step::Moved : Step::Failed, file, source, target);
        }
        return moved;
    };
    const File second = first == File::Configuration ? File::PrintData : File::Configuration;
    if (!moveOne(first)) {
        return false;
    }
    if (!moveOne(second)) {
        moveBack(pathOf(first, targetConfiguration), pathOf(first, configuration));
        return false;
    }
    return true;
}

void JobPairMove::moveBack(const QString& moved, const QString& origin) {
    if (!FileManager::moveItem(moved, origin)) {
        log(QStringLiteral("Cannot move %1 back to %2.").arg(moved, origin));
    }
}

} // namespace dravelo

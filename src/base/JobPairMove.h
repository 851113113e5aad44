#pragma once

#include <QString>

#include <functional>

namespace dravelo {

// Moves the two files of a job file pair to other paths, in the order given,
// whole or not at all: when the second file cannot follow, the first goes
// back, so that the pair is found whole again later. Nothing at a target is
// replaced.
class JobPairMove {
public:
    enum class File { Configuration, PrintData };
    enum class Step { Moving, Moved, Failed };
    // Told of each file before it moves and of how the move went.
    using Listener =
        std::function<void(Step step, File file, const QString& source, const QString& target)>;

    static bool move(const QString& configuration, const QString& targetConfiguration, File first,
                     const Listener& listener = {});

    // Moves a file back where it came from; logged when it cannot.
    static void moveBack(const QString& moved, const QString& origin);
};

} // namespace dravelo

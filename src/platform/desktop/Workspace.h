#pragma once

#include <QString>

namespace dravelo {

// The desktop's shell services: opening a file with the application the
// desktop associates with it.
class Workspace {
public:
    virtual ~Workspace() = default;

    // Asks the desktop to open the file; returns whether the request was made.
    virtual bool openFile(const QString& path) = 0;
};

} // namespace dravelo

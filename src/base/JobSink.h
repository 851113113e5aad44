#pragma once

#include <QString>

namespace dravelo {

// Where the intake channels hand the jobs they found: job dispatch, which the
// application controller gives them.
class JobSink {
public:
    virtual ~JobSink() = default;

    // Takes the job whose configuration file (staged in the staging
    // directory, its print data beside it) is given. Called on the intake
    // threads.
    virtual void spawnDocument(const QString& configurationPath) = 0;
};

} // namespace dravelo

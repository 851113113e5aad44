#pragma once

#include "platform/network/HttpClient.h"
#include "server/JobPackage.h"

#include <QString>

#include <array>

namespace dravelo {

// A job under way: its package and the private temporary files in the home
// directory that its two bodies were downloaded into. Whatever was not put in
// place is deleted with it.
class JobTransfer {
public:
    explicit JobTransfer(JobPackage job);
    ~JobTransfer();

    JobTransfer(const JobTransfer&) = delete;
    JobTransfer& operator=(const JobTransfer&) = delete;

    JobPackage& job() { return job_; }
    bool failed() const { return failed_; }

    // Takes a download's outcome; a failure is logged, and the job left on
    // the server.
    void took(JobPackage::File file, const HttpClient::Outcome& outcome);

    // Renames both files into place, print data first, so that the
    // configuration, which announces the job, never appears without it.
    bool place();

    // Deletes the temporary files not put in place.
    void discard();

private:
    QString& temporary(JobPackage::File file);

    JobPackage job_;
    std::array<QString, 2> temporaries_;
    bool failed_ = false;
};

} // namespace dravelo

#pragma once

#include "platform/print/PrintSettings.h"
#include "platform/print/PrintSpooler.h"

#include <QList>

#include <functional>

namespace dravelo::test {

// Records what it is asked to print and answers with a set result.
class RecordingPrintSpooler : public PrintSpooler {
public:
    struct Job {
        QString path;
        PrintSettings settings;
        int pageCount = 0;
        bool unlockedWithPassword = false;
    };

    PrintResult print(const PdfDocument& document, const PrintSettings& settings) override;

    const QList<Job>& jobs() const { return jobs_; }
    void setResult(PrintResult result) { result_ = std::move(result); }
    // Runs while a job is "printing", to look at files meanwhile.
    void onPrint(std::function<void(const Job&)> hook) { hook_ = std::move(hook); }

private:
    QList<Job> jobs_;
    PrintResult result_{true, {}};
    std::function<void(const Job&)> hook_;
};

} // namespace dravelo::test

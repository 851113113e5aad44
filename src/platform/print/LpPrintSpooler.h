#pragma once

#include "platform/print/PrintSpooler.h"

#include <chrono>

namespace dravelo {

class TaskRunner;
struct TaskResult;

// Spools through CUPS' `lp`, run by the task runner: the wait for it is
// bounded, on the UI thread the UI stays responsive meanwhile, and quitting
// the application cuts it short.
class LpPrintSpooler : public PrintSpooler {
public:
    static constexpr std::chrono::seconds defaultTimeout{30};

    explicit LpPrintSpooler(TaskRunner& tasks, QString lpProgram = QStringLiteral("/usr/bin/lp"),
                            std::chrono::milliseconds timeout = defaultTimeout);

    PrintResult print(const PdfDocument& document, const PrintSettings& settings) override;
    // Spools a file as it is: `lp` with the settings' options and the file.
    PrintResult printFile(const QString& file, const PrintSettings& settings) const;

    // What went wrong with a run of the print command, in words for the
    // user; empty when the print system has the job.
    QString failureText(const TaskResult& result) const;

private:
    TaskRunner& tasks_;
    QString lpProgram_;
    std::chrono::milliseconds timeout_;
};

} // namespace dravelo

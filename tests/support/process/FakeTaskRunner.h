#pragma once

#include "platform/process/TaskRunner.h"

#include <QList>

#include <functional>
#include <mutex>

namespace dravelo::test {

// Records the programs it is asked to run and answers with a set result.
class FakeTaskRunner : public TaskRunner {
public:
    struct Call {
        QString program;
        QStringList arguments;
        bool waited = false;
        std::chrono::milliseconds timeout{0};
    };

    TaskResult run(const QString& program, const QStringList& arguments,
                   std::chrono::milliseconds timeout) override;
    bool launch(const QString& program, const QStringList& arguments) override;
    void cutShort(std::chrono::milliseconds grace) override;

    QList<Call> calls() const;
    // The grace of every cutShort() call, in order.
    QList<std::chrono::milliseconds> cuts() const;
    void setResult(TaskResult result) { result_ = result; }
    // Runs while a waited-for call is "running", to look at files meanwhile.
    void onRun(std::function<void(const Call&)> hook) { hook_ = std::move(hook); }

private:
    mutable std::mutex mutex_;
    QList<Call> calls_;
    QList<std::chrono::milliseconds> cuts_;
    TaskResult result_{TaskResult::Outcome::Exited, 0, {}};
    std::function<void(const Call&)> hook_;
};

} // namespace dravelo::test

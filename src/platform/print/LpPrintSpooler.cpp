#include "platform/print/LpPrintSpooler.h"

#include "platform/pdf/PdfDocument.h"
#include "platform/print/PrintSettings.h"
#include "platform/process/TaskRunner.h"

#include <QFileInfo>
#include <QTemporaryFile>

namespace dravelo {
namespace {

PrintResult failure(const QString& text) {
    return {false, text};
}

} // namespace

LpPrintSpooler::LpPrintSpooler(TaskRunner& tasks, QString lpProgram,
                               std::chrono::milliseconds timeout)
    : tasks_(tasks)
    , lpProgram_(std::move(lpProgram))
    , timeout_(timeout) {}

PrintResult LpPrintSpooler::print(const PdfDocument& document, const PrintSettings& settings) {
    if (!document.isReadable() || document.isLocked()) {
        return failure(QStringLiteral("%1 is not a PDF that can be opened").arg(document.path()));
    }
    if (!document.wasUnlockedWithPassword()) {
        return printFile(document.path(), settings);
    }
    // CUPS stops an encrypted PDF as "invalid password": print a decrypted
    // copy, private to the user, that goes away whatever happens.
    const QFileInfo original(document.path());
    QTemporaryFile copy(original.absolutePath() + QStringLiteral("/.") +
                        original.completeBaseName() + QStringLiteral("-XXXXXX.pdf"));
    if (!copy.open()) {
        return failure(QStringLiteral("Cannot make a printable copy of %1: %2")
                           .arg(document.path(), copy.errorString()));
    }
    copy.close();
    if (!document.writeUnencryptedCopy(copy.fileName())) {
        return failure(QStringLiteral("Cannot make a printable copy of %1").arg(document.path()));
    }
    return printFile(copy.fileName(), settings);
}

PrintResult LpPrintSpooler::printFile(const QString& file, const PrintSettings& settings) const {
    const TaskResult result = tasks_.run(lpProgram_, settings.lpArguments() << file, timeout_);
    const QString failed = failureText(result);
    return failed.isEmpty() ? PrintResult{true, {}} : failure(failed);
}

QString LpPrintSpooler::failureText(const TaskResult& result) const {
    const QString detail =
        result.errorText.isEmpty() ? QString() : QStringLiteral(": %1").arg(result.errorText);
    switch (result.outcome) {
    case TaskResult::Outcome::Exited:
        if (result.exitCode == 0) {
            return {};
        }
        return result.errorText.isEmpty()
                   ? QStringLiteral("the print command exited with status %1").arg(result.exitCode)
                   : result.errorText;
    case TaskResult::Outcome::TimedOut:
        return QStringLiteral("the print command did not finish within %1 s and was ended%2")
            .arg(std::chrono::duration_cast<std::chrono::seconds>(timeout_).count())
            .arg(detail);
    case TaskResult::Outcome::CutShort:
        return QStringLiteral("the client quit before the print command finished");
    case TaskResult::Outcome::Crashed:
        return QStringLiteral("the print command crashed%1").arg(detail);
    case TaskResult::Outcome::FailedToStart:
        return QStringLiteral("%1 could not be started%2").arg(lpProgram_, detail);
    }
    return {};
}

} // namespace dravelo

#include "platform/print/LpPrintSpooler.h"

#include "platform/pdf/PdfDocument.h"
#include "platform/print/PrintSettings.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryFile>
#include <QTimer>

namespace dravelo {
namespace {

constexpr int startTimeoutMs = 5000;
constexpr int killTimeoutMs = 2000;

PrintResult failure(const QString& text) {
    return {false, text};
}

} // namespace

LpPrintSpooler::LpPrintSpooler(QString lpProgram, std::chrono::milliseconds timeout)
    : lpProgram_(std::move(lpProgram))
    , timeout_(timeout) {}

PrintResult LpPrintSpooler::print(const PdfDocument& document, const PrintSettings& settings) {
    if (!document.isReadable() || document.isLocked()) {
        return failure(QStringLiteral("%1 is not a PDF that can be opened").arg(document.path()));
    }
    if (!document.wasUnlockedWithPassword()) {
        return spool(document.path(), settings);
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
    return spool(copy.fileName(), settings);
}

PrintResult LpPrintSpooler::spool(const QString& file, const PrintSettings& settings) const {
    QProcess lp;
    lp.setProgram(lpProgram_);
    lp.setArguments(settings.lpArguments() << file);
    lp.start(QIODevice::ReadOnly);
    if (!lp.waitForStarted(startTimeoutMs)) {
        return failure(
            QStringLiteral("%1 could not be started: %2").arg(lpProgram_, lp.errorString()));
    }
    // Wait in an event loop of our own, so windows keep painting and a quit
    // ends the wait at once.
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&lp, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(timeout_);
    if (lp.state() != QProcess::NotRunning) {
        loop.exec();
    }
    if (lp.state() != QProcess::NotRunning) {
        lp.kill();
        lp.waitForFinished(killTimeoutMs);
        return failure(
            deadline.isActive()
                ? QStringLiteral("%1 was stopped as the client quit").arg(lpProgram_)
                : QStringLiteral("%1 did not finish within %2 s and was stopped")
                      .arg(lpProgram_)
                      .arg(std::chrono::duration_cast<std::chrono::seconds>(timeout_).count()));
    }
    if (lp.exitStatus() == QProcess::CrashExit) {
        return failure(QStringLiteral("%1 crashed").arg(lpProgram_));
    }
    if (lp.exitCode() != 0) {
        const QString errorText = QString::fromLocal8Bit(lp.readAllStandardError()).trimmed();
        return failure(
            errorText.isEmpty()
                ? QStringLiteral("%1 exited with status %2").arg(lpProgram_).arg(lp.exitCode())
                : errorText);
    }
    return {true, {}};
}

} // namespace dravelo

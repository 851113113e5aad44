#include "intake/Clipboard.h"

#include "base/JobFilePair.h"
#include "base/JobSink.h"
#include "base/Settings.h"
#include "base/StagingDirectory.h"
#include "intake/Base64.h"
#include "platform/core/Log.h"
#include "platform/core/RepeatingTimer.h"
#include "platform/core/UserDefaults.h"
#include "platform/desktop/Pasteboard.h"
#include "platform/text/MacRomanDecoder.h"
#include "platform/text/TextDecoder.h"

#include <QSaveFile>

#include <thread>

namespace dravelo {
namespace {

using namespace std::chrono_literals;

constexpr std::chrono::nanoseconds pollInterval = 2s;
constexpr std::chrono::nanoseconds pollLeeway = 100ms;
constexpr std::chrono::milliseconds readRetryDelay = 500ms;
constexpr int readAttempts = 4;

// The five characters a job message starts with.
const QString clipboardSignature = QStringLiteral("\u0005\u0009\u0006\u0008\u0007");
// What the clipboard holds once a job message was taken: one U+0000.
const QString clearingText = QString(QChar(0));
const QChar separator = QLatin1Char('|');

// The text types a job message may come as, most preferred first.
const QStringList preferredTextTypes{
    QString(Pasteboard::macPlainTextType),
    QString(Pasteboard::utf16PlainTextType),
    QString(Pasteboard::utf16ExternalPlainTextType),
    QString(Pasteboard::plainTextType),
    QString(Pasteboard::textType),
    QStringLiteral("com.citrix.pasteboard.source"),
    QStringLiteral("com.citrix.receiver.clipboard"),
};

// Characters of a refused name that a log line shows.
constexpr qsizetype loggedNameLength = 80;

void writeAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        log(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    }
}

} // namespace

Clipboard::Clipboard(ClipboardContext context)
    : context_(std::move(context)) {}

Clipboard::~Clipboard() {
    stop();
}

void Clipboard::checkPasteboard() {
    if (timer_) {
        timer_->cancel();
    }
    timer_ =
        std::make_unique<RepeatingTimer>(pollInterval, pollLeeway, [this] { pollPasteboard(); });
    timer_->start();
}

void Clipboard::stop() {
    stopping_ = true;
    if (timer_) {
        timer_->cancel();
    }
}

void Clipboard::pollPasteboard() {
    if (stopping_ || !context_.defaults.boolForKey(Settings::enableClipboard)) {
        return;
    }
    Pasteboard& pasteboard = context_.pasteboard;
    const std::int64_t changeCount = pasteboard.changeCount();
    if (changeCount == lastPasteboardAction) {
        return;
    }
    log(QStringLiteral("Pasteboard Check - Change detected."));
    const std::optional<QString> bestType = pasteboard.availableTypeFromArray(preferredTextTypes);
    log(QStringLiteral("Best type: %1").arg(bestType.value_or(QStringLiteral("(null)"))));
    log(QStringLiteral("Available types: (%1)").arg(pasteboard.types().join(QStringLiteral(", "))));
    if (!bestType) {
        lastPasteboardAction = changeCount;
        return;
    }
    std::optional<QString> text = readClipDataString(pasteboard, *bestType);
    for (int attempt = 1; !text && attempt < readAttempts && !stopping_; ++attempt) {
        std::this_thread::sleep_for(readRetryDelay);
        text = readClipDataString(pasteboard, *bestType);
    }
    if (!text) {
        // The change stays unrecorded, so the next poll reads it again, up
        // to a limit.
        log(QStringLiteral("Unable to read the pasteboard"));
        giveUpUnreadableChange(changeCount);
        return;
    }
    if (text->startsWith(clipboardSignature)) {
        readMACServerChangesinData(*text);
        pasteboard.setPlainText(clearingText);
    } else {
        log(QStringLiteral("SERVER SIGNATURE NOT FOUND"));
    }
    // Read after the clearing, so that the clearing is not taken for news.
    lastPasteboardAction = pasteboard.changeCount();
}

void Clipboard::giveUpUnreadableChange(std::int64_t changeCount) {
    if (changeCount != unreadChange_) {
        unreadChange_ = changeCount;
        unreadPolls_ = 0;
    }
    if (++unreadPolls_ < unreadablePollLimit) {
        return;
    }
    log(QStringLiteral("The clipboard's contents could not be read on %1 polls; they are left "
                       "alone until the clipboard changes.")
            .arg(unreadPolls_));
    lastPasteboardAction = changeCount;
}

std::optional<QString> Clipboard::readClipDataString(Pasteboard& pasteboard, const QString& type) {
    if (std::optional<QString> text = pasteboard.stringForType(type)) {
        return text;
    }
    log(QStringLiteral("clipData is nil for type: %1").arg(type));
    const std::optional<QByteArray> data = pasteboard.dataForType(type);
    if (!data) {
        log(QStringLiteral("No raw data available for type: %1").arg(type));
        return std::nullopt;
    }
    log(QStringLiteral("Raw data length: %1").arg(data->size()));
    if (std::optional<QString> text = TextDecoder::utf8(*data)) {
        return text;
    }
    if (std::optional<QString> text = TextDecoder::utf16(*data)) {
        return text;
    }
    return MacRomanDecoder::decode(*data);
}

void Clipboard::readMACServerChangesinData(const QString& message) {
    log(QStringLiteral("Identified attempted send from server."));
    const qsizetype first = message.indexOf(separator);
    const qsizetype second = first < 0 ? -1 : message.indexOf(separator, first + 1);
    if (second < 0) {
        log(QStringLiteral("Clipboard job refused: the message lacks its two \"|\" separators."));
        return;
    }
    if (second - first - 1 < 1) {
        log(QStringLiteral("Clipboard job refused: its configuration field is empty."));
        return;
    }
    const QString name = message.mid(clipboardSignature.size(), first - clipboardSignature.size());
    const QString printDataPath = context_.staging.entryPath(name);
    const QString configurationPath = JobFilePair::configurationPath(printDataPath);
    // The name must stay inside the staging directory, fit the file system,
    // and never replace an entry that is not a job's file.
    if (!StagingDirectory::isJobFileName(name) ||
        !StagingDirectory::isJobFileName(JobFilePair::configurationPath(name)) ||
        configurationPath == printDataPath) {
        log(QStringLiteral("Clipboard job refused: \"%1\" is not a print data file name.")
                .arg(Log::shortened(name, loggedNameLength)));
        return;
    }
    const QStringView text(message);
    const std::optional<QByteArray> printData =
        Base64::dataWithBase64EncodedString(text.mid(second + 1));
    // The configuration field's last character is not part of its Base64.
    const std::optional<QByteArray> configuration =
        Base64::dataWithBase64EncodedString(text.mid(first + 1, second - first - 2));
    if (printData) {
        writeAtomically(printDataPath, *printData);
    } else {
        log(QStringLiteral("Clipboard job's print data is not valid Base64: %1").arg(name));
    }
    if (configuration) {
        writeAtomically(configurationPath, *configuration);
    } else {
        log(QStringLiteral("Clipboard job's configuration is not valid Base64: %1").arg(name));
    }
    context_.jobs.spawnDocument(configurationPath);
}

} // namespace dravelo

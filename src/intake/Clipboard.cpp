#include "intake/Clipboard.h"

#include "base/JobFilePair.h"
#include "base/JobSink.h"
#include "base/Settings.h"
#include "base/StagingDirectory.h"
#include "intake/JobMessage.h"
#include "platform/core/Log.h"
#include "platform/core/RepeatingTimer.h"
#include "platform/core/UserDefaults.h"
#include "platform/desktop/Pasteboard.h"
#include "platform/text/MacRomanDecoder.h"

#include <thread>

namespace dravelo {
namespace {

using namespace std::chrono_literals;

constexpr std::chrono::nanoseconds pollInterval = 2s;
constexpr std::chrono::nanoseconds pollLeeway = 100ms;
constexpr std::chrono::milliseconds readRetryDelay = 500ms;
constexpr int readAttempts = 4;

// What the clipboard holds once a job message was taken: one U+0000.
const QString clearingText = QString(QChar(0));

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
    std::optional<EncodedText> text = readClipDataString(pasteboard, *bestType);
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
    if (text->startsWith(JobMessage::signature)) {
        readMACServerChangesinData(*text);
        pasteboard.setPlainText(clearingText);
    } else {
        log(QStringLiteral("SERVER SIGNATURE NOT FOUND"));
    }
    prefetch_.reset();
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

std::optional<EncodedText> Clipboard::readClipDataString(Pasteboard& pasteboard,
                                                         const QString& type) {
    // A large job message's print data is decoded while the text arrives.
    prefetch_.emplace(context_.staging.path());
    const auto arrival = [this](EncodedText::Encoding encoding, QByteArrayView received) {
        prefetch_->take(encoding, received);
    };
    if (std::optional<EncodedText> text = pasteboard.stringForType(type, arrival)) {
        return text;
    }
    prefetch_.reset();
    log(QStringLiteral("clipData is nil for type: %1").arg(type));
    std::optional<QByteArray> data = pasteboard.dataForType(type);
    if (!data) {
        log(QStringLiteral("No raw data available for type: %1").arg(type));
        return std::nullopt;
    }
    log(QStringLiteral("Raw data length: %1").arg(data->size()));
    if (std::optional<EncodedText> text = EncodedText::fromUtf8(*data)) {
        return text;
    }
    if (std::optional<EncodedText> text = EncodedText::fromUtf16(*data)) {
        return text;
    }
    const std::optional<QString> macRoman = MacRomanDecoder::decode(*data);
    return macRoman ? std::optional(EncodedText::fromString(*macRoman)) : std::nullopt;
}

void Clipboard::readMACServerChangesinData(const EncodedText& message) {
    log(QStringLiteral("Identified attempted send from server."));
    QString refusal;
    const std::optional<JobMessage> job = JobMessage::parse(message, refusal);
    if (!job) {
        log(QStringLiteral("Clipboard job refused: %1").arg(refusal));
        return;
    }
    const QString name = job->name();
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
    if (job->writePrintData(printDataPath, prefetch_ ? &*prefetch_ : nullptr) ==
        JobMessage::Written::NotBase64) {
        log(QStringLiteral("Clipboard job's print data is not valid Base64: %1").arg(name));
    }
    if (job->writeConfiguration(configurationPath) == JobMessage::Written::NotBase64) {
        log(QStringLiteral("Clipboard job's configuration is not valid Base64: %1").arg(name));
    }
    context_.jobs.spawnDocument(configurationPath);
}

} // namespace dravelo

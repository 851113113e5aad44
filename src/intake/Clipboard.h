#pragma once

#include "intake/PrintDataPrefetch.h"
#include "platform/text/EncodedText.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

namespace dravelo {

class JobSink;
class Pasteboard;
class RepeatingTimer;
class StagingDirectory;
class UserDefaults;

// What the clipboard channel is given.
struct ClipboardContext {
    UserDefaults& defaults;
    Pasteboard& pasteboard;
    const StagingDirectory& staging;
    JobSink& jobs;
};

// The clipboard channel: a timer of its own polls the clipboard every two
// seconds while enableClipboard is on. A job message put there by the remote
// session (a text that starts with the clipboard signature) is unpacked into
// the staging directory and handed to job dispatch, and the clipboard is
// cleared so that the message is never taken twice.
//
// checkPasteboard() and stop() are the UI thread's; the polls run on the
// timer's thread, one at a time.
class Clipboard {
public:
    // Polls on which one clipboard change failed to read before it is given
    // up.
    static constexpr int unreadablePollLimit = 3;

    explicit Clipboard(ClipboardContext context);
    // Stops the polls.
    ~Clipboard();

    Clipboard(const Clipboard&) = delete;
    Clipboard& operator=(const Clipboard&) = delete;

    // Starts the timer, replacing a running one.
    void checkPasteboard();
    // Stops the timer: a poll under way gives up instead of waiting on the
    // UI thread that is stopping it.
    void stop();

    // One poll.
    void pollPasteboard();
    // The contents of a type as text: as text if the clipboard gives it so,
    // else its bytes as UTF-8, UTF-16 or Mac OS Roman.
    std::optional<EncodedText> readClipDataString(Pasteboard& pasteboard, const QString& type);
    // Unpacks one job message into the staging directory and dispatches it.
    void readMACServerChangesinData(const EncodedText& message);

private:
    void giveUpUnreadableChange(std::int64_t changeCount);

    ClipboardContext context_;
    // Touched by the polls alone: the change count last handled, the change
    // that failed to read, and on how many polls.
    std::int64_t lastPasteboardAction = 0;
    std::int64_t unreadChange_ = 0;
    int unreadPolls_ = 0;
    // The print data of the text being read, decoded while it arrives.
    std::optional<PrintDataPrefetch> prefetch_;
    std::unique_ptr<RepeatingTimer> timer_;
    std::atomic<bool> stopping_ = false;
};

} // namespace dravelo

#pragma once

#include "platform/desktop/Pasteboard.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QMimeData;

namespace dravelo {

class X11Selection;

// The desktop's clipboard through QClipboard. On X11 the type identifiers map
// onto the selection's MIME types:
//   "public.utf-16-plain-text", "public.utf16-external-plain-text":
//       text/plain;charset=utf-16 (byte order mark, else little-endian)
//   "public.utf8-plain-text": text/plain;charset=utf-8, else text/plain
//   "TEXT": text/plain (Qt merges UTF8_STRING, STRING and TEXT into it)
//   "com.apple.traditional-mac-plain-text": never held
//   any other identifier: the MIME type of that name, as raw bytes only
//
// QClipboard belongs to the UI thread: create this object there. Calls from
// other threads are handed to the UI thread: the wait for it to take a call
// up is bounded by `pickUpLimit` and ends at once when the application quits;
// the call itself, which lasts while a big text arrives, by `readLimit`.
// Past either they give none or false and log. The owner's formats are asked
// for once per change (an owner that does not answer holds Qt for seconds
// per request). The change count is read without a hand-over.
class SystemPasteboard final : public QObject, public Pasteboard {
    Q_OBJECT
public:
    explicit SystemPasteboard(std::chrono::milliseconds pickUpLimit = std::chrono::seconds(3),
                              std::chrono::milliseconds readLimit = std::chrono::minutes(5),
                              QObject* parent = nullptr);
    ~SystemPasteboard() override;

    qint64 changeCount() const override;
    std::optional<QString> availableTypeFromArray(const QStringList& types) override;
    QStringList types() override;
    std::optional<EncodedText> stringForType(const QString& type,
                                             const TextArrival& arrival = {}) override;
    std::optional<QByteArray> dataForType(const QString& type) override;
    bool setPlainText(const QString& text) override;
    bool setContents(const QList<Entry>& entries) override;

private:
    // How long an owner may send nothing while the client reads its text.
    static constexpr std::chrono::seconds x11Stall{5};

    template <typename Result>
    Result onUiThread(const char* operation, Result fallback, std::function<Result()> work);

    // On the UI thread only: the formats held at a change count.
    QStringList heldFormats();
    // The direct reader of the X11 clipboard; none elsewhere.
    X11Selection* x11Selection();
    // Another program's X11 text, as Qt would read it, from its bytes.
    std::optional<EncodedText> readX11Text(const TextArrival& arrival);
    // Hands the contents to the clipboard; false when another program took
    // it first. UI thread only.
    static bool replaceClipboard(QMimeData* contents);

    std::chrono::milliseconds pickUpLimit_;
    std::chrono::milliseconds readLimit_;
    std::atomic<qint64> changeCount_{1};
    std::atomic<bool> quitting_{false};
    // The X11 clipboard read directly, made on first use where Qt runs on X11.
    std::mutex x11Mutex_;
    bool x11Tried_ = false;
    std::unique_ptr<X11Selection> x11_;
    std::optional<qint64> formatsChangeCount_;
    QStringList formats_;
};

} // namespace dravelo

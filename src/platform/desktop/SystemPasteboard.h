#pragma once

#include "platform/desktop/Pasteboard.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <functional>

namespace dravelo {

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
// other threads are handed to the UI thread and waited for up to a bound (a
// clipboard owner that does not answer holds Qt for seconds); past it they
// give none or false and log. The change count is read without a hand-over.
class SystemPasteboard final : public QObject, public Pasteboard {
    Q_OBJECT
public:
    explicit SystemPasteboard(std::chrono::milliseconds crossThreadLimit = std::chrono::seconds(3),
                              QObject* parent = nullptr);

    qint64 changeCount() const override;
    std::optional<QString> availableTypeFromArray(const QStringList& types) override;
    QStringList types() override;
    std::optional<QString> stringForType(const QString& type) override;
    std::optional<QByteArray> dataForType(const QString& type) override;
    bool setPlainText(const QString& text) override;

private:
    template <typename Result>
    Result onUiThread(const char* operation, Result fallback, std::function<Result()> work);

    std::chrono::milliseconds crossThreadLimit_;
    std::atomic<qint64> changeCount_{1};
};

} // namespace dravelo

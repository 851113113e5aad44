#include "platform/desktop/SystemPasteboard.h"

#include "platform/core/Log.h"
#include "platform/text/TextDecoder.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QThread>

#include <future>
#include <memory>

namespace dravelo {
namespace {

const QString plainMime = QStringLiteral("text/plain");
const QString utf8Mime = QStringLiteral("text/plain;charset=utf-8");
const QString utf16Mime = QStringLiteral("text/plain;charset=utf-16");

// The identifiers that stand for text, in the order types() lists them.
const QStringList textTypes = {QString(Pasteboard::utf16PlainTextType),
                               QString(Pasteboard::utf16ExternalPlainTextType),
                               QString(Pasteboard::plainTextType), QString(Pasteboard::textType)};

// How the contents of one MIME type are read as text.
enum class Reading { Utf8, Utf16, QtText, RawBytesOnly };

struct Source {
    QString mimeType;
    Reading reading;
};

// Targets of the X selection protocol itself: Qt lists them among the formats,
// but they hold no contents.
bool isProtocolTarget(const QString& format) {
    static const QStringList targets = {QStringLiteral("TARGETS"), QStringLiteral("MULTIPLE"),
                                        QStringLiteral("TIMESTAMP"),
                                        QStringLiteral("SAVE_TARGETS")};
    return targets.contains(format);
}

// Where the contents of an identifier may be found, most preferred first.
QList<Source> sourcesFor(const QString& type) {
    if (type == Pasteboard::utf16PlainTextType || type == Pasteboard::utf16ExternalPlainTextType) {
        return {{utf16Mime, Reading::Utf16}};
    }
    if (type == Pasteboard::plainTextType) {
        return {{utf8Mime, Reading::Utf8}, {plainMime, Reading::QtText}};
    }
    if (type == Pasteboard::textType) {
        return {{plainMime, Reading::QtText}};
    }
    if (type == Pasteboard::macPlainTextType || isProtocolTarget(type)) {
        return {};
    }
    return {{type, Reading::RawBytesOnly}};
}

const QMimeData* clipboardContents() {
    return QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
}

std::optional<Source> heldSource(const QMimeData* contents, const QString& type) {
    if (contents == nullptr) {
        return std::nullopt;
    }
    for (const Source& source : sourcesFor(type)) {
        if (contents->hasFormat(source.mimeType)) {
            return source;
        }
    }
    return std::nullopt;
}

std::optional<QString> readText(const QMimeData& contents, const Source& source) {
    switch (source.reading) {
    case Reading::Utf8:
        return TextDecoder::utf8(contents.data(source.mimeType));
    case Reading::Utf16:
        return TextDecoder::utf16(contents.data(source.mimeType));
    case Reading::QtText:
        return contents.text();
    case Reading::RawBytesOnly:
        break;
    }
    return std::nullopt;
}

QStringList heldTypes(const QMimeData* contents) {
    if (contents == nullptr) {
        return {};
    }
    QStringList held;
    for (const QString& type : textTypes) {
        if (heldSource(contents, type)) {
            held << type;
        }
    }
    for (const QString& format : contents->formats()) {
        const bool isText = format == plainMime || format == utf8Mime || format == utf16Mime;
        if (!isText && !isProtocolTarget(format)) {
            held << format;
        }
    }
    return held;
}

} // namespace

SystemPasteboard::SystemPasteboard(std::chrono::milliseconds crossThreadLimit, QObject* parent)
    : QObject(parent)
    , crossThreadLimit_(crossThreadLimit) {
    // Emitted synchronously when this process replaces the contents, and from
    // the event loop when another program does.
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this,
            [this](QClipboard::Mode mode) {
                if (mode == QClipboard::Clipboard) {
                    changeCount_.fetch_add(1);
                }
            });
}

template <typename Result>
Result SystemPasteboard::onUiThread(const char* operation, Result fallback,
                                    std::function<Result()> work) {
    if (QThread::currentThread() == thread()) {
        return work();
    }
    // Shared with the queued call, which may run after this wait gave up and
    // then skips the work, so that late calls do not pile up on the UI thread.
    struct Call {
        std::promise<Result> answer;
        std::atomic<bool> abandoned{false};
    };
    auto call = std::make_shared<Call>();
    std::future<Result> answer = call->answer.get_future();
    QMetaObject::invokeMethod(
        this,
        [call, work = std::move(work)] {
            if (!call->abandoned.load()) {
                call->answer.set_value(work());
            }
        },
        Qt::QueuedConnection);
    if (answer.wait_for(crossThreadLimit_) == std::future_status::ready) {
        try {
            return answer.get();
        } catch (const std::future_error&) {
            // The call was dropped unrun: the UI thread's event loop is gone.
        }
    }
    call->abandoned.store(true);
    log(QStringLiteral("Clipboard gave no answer within %1 ms (%2)")
            .arg(crossThreadLimit_.count())
            .arg(QLatin1StringView(operation)));
    return fallback;
}

qint64 SystemPasteboard::changeCount() const {
    return changeCount_.load();
}

std::optional<QString> SystemPasteboard::availableTypeFromArray(const QStringList& types) {
    return onUiThread<std::optional<QString>>("availableTypeFromArray", std::nullopt,
                                              [types]() -> std::optional<QString> {
                                                  const QMimeData* contents = clipboardContents();
                                                  for (const QString& type : types) {
                                                      if (heldSource(contents, type)) {
                                                          return type;
                                                      }
                                                  }
                                                  return std::nullopt;
                                              });
}

QStringList SystemPasteboard::types() {
    return onUiThread<QStringList>("types", {}, [] { return heldTypes(clipboardContents()); });
}

std::optional<QString> SystemPasteboard::stringForType(const QString& type) {
    return onUiThread<std::optional<QString>>(
        "stringForType", std::nullopt, [type]() -> std::optional<QString> {
            const QMimeData* contents = clipboardContents();
            const std::optional<Source> source = heldSource(contents, type);
            if (!source) {
                return std::nullopt;
            }
            return readText(*contents, *source);
        });
}

std::optional<QByteArray> SystemPasteboard::dataForType(const QString& type) {
    return onUiThread<std::optional<QByteArray>>(
        "dataForType", std::nullopt, [type]() -> std::optional<QByteArray> {
            const QMimeData* contents = clipboardContents();
            const std::optional<Source> source = heldSource(contents, type);
            if (!source) {
                return std::nullopt;
            }
            return contents->data(source->mimeType);
        });
}

bool SystemPasteboard::setPlainText(const QString& text) {
    return onUiThread<bool>("setPlainText", false, [text] {
        auto* contents = new QMimeData;
        contents->setText(text);
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setMimeData(contents, QClipboard::Clipboard);
        // On X11 the server refuses the replacement when another program
        // took the clipboard after the last event Qt saw; the newer contents
        // then stay, and the event that reports them is still to come.
        if (clipboard->mimeData(QClipboard::Clipboard) != contents) {
            log(QStringLiteral("Clipboard not replaced: another program took it first"));
            return false;
        }
        return true;
    });
}

} // namespace dravelo

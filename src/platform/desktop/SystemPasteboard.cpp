#include "platform/desktop/SystemPasteboard.h"

#include "platform/core/Log.h"
#include "platform/desktop/X11Selection.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>
#include <QThread>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace dravelo {
namespace {

using namespace std::chrono_literals;

// How often a waiting call looks whether the application is quitting.
constexpr auto quitCheckInterval = 50ms;

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

std::optional<Source> heldSource(const QStringList& formats, const QString& type) {
    for (const Source& source : sourcesFor(type)) {
        if (formats.contains(source.mimeType)) {
            return source;
        }
    }
    return std::nullopt;
}

std::optional<EncodedText> readText(const QMimeData& contents, const Source& source) {
    switch (source.reading) {
    case Reading::Utf8:
        return EncodedText::fromUtf8(contents.data(source.mimeType));
    case Reading::Utf16:
        return EncodedText::fromUtf16(contents.data(source.mimeType));
    case Reading::QtText:
        return EncodedText::fromString(contents.text());
    case Reading::RawBytesOnly:
        break;
    }
    return std::nullopt;
}

// What Qt reads as the text of the X11 clipboard, in the order it looks for
// it: the UTF-8 MIME type, else the three string targets, read leniently and
// without the last byte when that is 0.
struct X11TextTarget {
    QByteArray name;
    bool latin1;
    bool chopsNul;
};

const QList<X11TextTarget> x11TextTargets = {{"text/plain;charset=utf-8", false, false},
                                             {"UTF8_STRING", false, true},
                                             {"STRING", true, true},
                                             {"TEXT", true, true}};

QStringList heldTypes(const QStringList& formats) {
    QStringList held;
    for (const QString& type : textTypes) {
        if (heldSource(formats, type)) {
            held << type;
        }
    }
    for (const QString& format : formats) {
        const bool isText = format == plainMime || format == utf8Mime || format == utf16Mime;
        if (!isText && !isProtocolTarget(format)) {
            held << format;
        }
    }
    return held;
}

} // namespace

SystemPasteboard::SystemPasteboard(std::chrono::milliseconds pickUpLimit,
                                   std::chrono::milliseconds readLimit, QObject* parent)
    : QObject(parent)
    , pickUpLimit_(pickUpLimit)
    , readLimit_(readLimit) {
    // Once the application quits, the UI thread takes up no more calls; a
    // thread that quit waits for must not wait on it.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            [this] { quitting_ = true; });
    // Emitted synchronously when this process replaces the contents, and from
    // the event loop when another program does.
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this,
            [this](QClipboard::Mode mode) {
                if (mode == QClipboard::Clipboard) {
                    changeCount_.fetch_add(1);
                }
            });
}

SystemPasteboard::~SystemPasteboard() = default;

// The wait for the UI thread to take the call up is short: it only queues
// behind other events. The call itself may take long while a big text
// arrives from a slow owner, so its own wait is far longer; a stalled owner is
// cut by Qt after its own time-out.
template <typename Result>
Result SystemPasteboard::onUiThread(const char* operation, Result fallback,
                                    std::function<Result()> work) {
    if (QThread::currentThread() == thread()) {
        return work();
    }
    // Shared with the queued call, which may run after this wait gave up and
    // then skips the work, so that late calls do not pile up on the UI thread.
    struct Call {
        enum class State { Queued, Running, Done, Abandoned };
        std::mutex mutex;
        std::condition_variable changed;
        State state = State::Queued;
        std::optional<Result> result;
    };
    auto call = std::make_shared<Call>();
    QMetaObject::invokeMethod(
        this,
        [call, work = std::move(work)] {
            {
                std::lock_guard lock(call->mutex);
                if (call->state == Call::State::Abandoned) {
                    return;
                }
                call->state = Call::State::Running;
            }
            Result result = work();
            {
                std::lock_guard lock(call->mutex);
                call->result = std::move(result);
                call->state = Call::State::Done;
            }
            call->changed.notify_all();
        },
        Qt::QueuedConnection);

    std::unique_lock lock(call->mutex);
    const auto pickUpBy = std::chrono::steady_clock::now() + pickUpLimit_;
    while (call->state == Call::State::Queued) {
        if (quitting_ || std::chrono::steady_clock::now() >= pickUpBy) {
            call->state = Call::State::Abandoned;
            log(QStringLiteral("Clipboard gave no answer within %1 ms (%2)")
                    .arg(pickUpLimit_.count())
                    .arg(QLatin1StringView(operation)));
            return fallback;
        }
        call->changed.wait_for(lock, quitCheckInterval);
    }
    if (!call->changed.wait_for(lock, readLimit_,
                                [&] { return call->state == Call::State::Done; })) {
        log(QStringLiteral("Clipboard read did not finish within %1 s (%2)")
                .arg(std::chrono::duration_cast<std::chrono::seconds>(readLimit_).count())
                .arg(QLatin1StringView(operation)));
        return fallback;
    }
    return std::move(*call->result);
}

// One request for the owner's formats per change: an owner that does not
// answer costs Qt a time-out for every request, and asking once per type
// multiplied it.
QStringList SystemPasteboard::heldFormats() {
    const qint64 count = changeCount_.load();
    if (!formatsChangeCount_ || *formatsChangeCount_ != count) {
        const QMimeData* contents = clipboardContents();
        formats_ = contents ? contents->formats() : QStringList();
        formatsChangeCount_ = count;
    }
    return formats_;
}

qint64 SystemPasteboard::changeCount() const {
    return changeCount_.load();
}

std::optional<QString> SystemPasteboard::availableTypeFromArray(const QStringList& types) {
    return onUiThread<std::optional<QString>>("availableTypeFromArray", std::nullopt,
                                              [this, types]() -> std::optional<QString> {
                                                  const QStringList formats = heldFormats();
                                                  for (const QString& type : types) {
                                                      if (heldSource(formats, type)) {
                                                          return type;
                                                      }
                                                  }
                                                  return std::nullopt;
                                              });
}

QStringList SystemPasteboard::types() {
    return onUiThread<QStringList>("types", {}, [this] { return heldTypes(heldFormats()); });
}

std::optional<EncodedText> SystemPasteboard::stringForType(const QString& type,
                                                           const TextArrival& arrival) {
    struct Held {
        Source source;
        bool own = false;
    };
    const std::optional<Held> held =
        onUiThread<std::optional<Held>>("stringForType", std::nullopt, [this, type] {
            const std::optional<Source> source = heldSource(heldFormats(), type);
            return source ? std::optional<Held>(
                                Held{*source, QGuiApplication::clipboard()->ownsClipboard()})
                          : std::nullopt;
        });
    if (!held) {
        return std::nullopt;
    }
    // Qt holds a big X11 text several times over while it turns it into
    // UTF-16; another program's text is read as its bytes instead. The UI
    // thread must stay free to answer when this process owns the clipboard.
    if (held->source.reading == Reading::QtText && !held->own &&
        QThread::currentThread() != thread() && x11Selection()) {
        return readX11Text(arrival);
    }
    return onUiThread<std::optional<EncodedText>>(
        "stringForType", std::nullopt, [source = held->source]() -> std::optional<EncodedText> {
            const QMimeData* contents = clipboardContents();
            return contents ? readText(*contents, source) : std::nullopt;
        });
}

X11Selection* SystemPasteboard::x11Selection() {
    const std::lock_guard lock(x11Mutex_);
    if (!x11Tried_) {
        x11Tried_ = true;
        if (QGuiApplication::platformName() == QLatin1String("xcb")) {
            auto selection = std::make_unique<X11Selection>();
            if (selection->isConnected()) {
                x11_ = std::move(selection);
            }
        }
    }
    return x11_.get();
}

std::optional<EncodedText> SystemPasteboard::readX11Text(const TextArrival& arrival) {
    const std::lock_guard lock(x11Mutex_);
    const auto givingUp = [this] { return quitting_.load(); };
    const std::optional<QList<QByteArray>> offered = x11_->targets(x11Stall, givingUp);
    if (!offered) {
        return std::nullopt;
    }
    for (const X11TextTarget& target : x11TextTargets) {
        if (!offered->contains(target.name)) {
            continue;
        }
        const EncodedText::Encoding encoding =
            target.latin1 ? EncodedText::Encoding::Latin1 : EncodedText::Encoding::LenientUtf8;
        const auto progress = [&arrival, encoding](QByteArrayView received) {
            if (arrival) {
                arrival(encoding, EncodedText::textPart(encoding, received));
            }
        };
        std::optional<QByteArray> bytes =
            x11_->read(target.name, x11Stall, readLimit_, givingUp, progress);
        if (!bytes) {
            return std::nullopt;
        }
        if (target.chopsNul && bytes->endsWith('\0')) {
            bytes->chop(1);
        }
        return target.latin1 ? EncodedText::fromLatin1(std::move(*bytes))
                             : EncodedText::fromLenientUtf8(std::move(*bytes));
    }
    return std::nullopt;
}

std::optional<QByteArray> SystemPasteboard::dataForType(const QString& type) {
    return onUiThread<std::optional<QByteArray>>(
        "dataForType", std::nullopt, [this, type]() -> std::optional<QByteArray> {
            const std::optional<Source> source = heldSource(heldFormats(), type);
            const QMimeData* contents = clipboardContents();
            if (!source || contents == nullptr) {
                return std::nullopt;
            }
            return contents->data(source->mimeType);
        });
}

bool SystemPasteboard::setPlainText(const QString& text) {
    return onUiThread<bool>("setPlainText", false, [text] {
        auto* contents = new QMimeData;
        contents->setText(text);
        return replaceClipboard(contents);
    });
}

bool SystemPasteboard::setContents(const QList<Entry>& entries) {
    return onUiThread<bool>("setContents", false, [entries] {
        auto* contents = new QMimeData;
        for (const auto& [type, data] : entries) {
            contents->setData(type, data);
        }
        return replaceClipboard(contents);
    });
}

bool SystemPasteboard::replaceClipboard(QMimeData* contents) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setMimeData(contents, QClipboard::Clipboard);
    // On X11 the server refuses the replacement when another program took
    // the clipboard after the last event Qt saw; the newer contents then
    // stay, and the event that reports them is still to come.
    if (clipboard->mimeData(QClipboard::Clipboard) != contents) {
        log(QStringLiteral("Clipboard not replaced: another program took it first"));
        return false;
    }
    return true;
}

} // namespace dravelo

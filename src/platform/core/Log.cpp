#include "platform/core/Log.h"

#include <syslog.h>

#include <cstdio>
#include <mutex>

namespace dravelo {
namespace {

std::mutex& logMutex() {
    static std::mutex mutex;
    return mutex;
}

Log::Sink& installedSink() {
    static Log::Sink sink;
    return sink;
}

void openSyslogOnce() {
    static std::once_flag once;
    std::call_once(once, [] { openlog("dravelo", LOG_PID, LOG_USER); });
}

// The marks and embeddings, overrides and isolates that make a viewer show
// the characters after them in another order.
bool isBidirectionalControl(char16_t code) {
    return code == 0x061c || code == 0x200e || code == 0x200f ||
           (code >= 0x202a && code <= 0x202e) || (code >= 0x2066 && code <= 0x2069);
}

} // namespace

QString Log::escapeControlCharacters(const QString& text) {
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code == u'\n') {
            escaped += QStringLiteral("\\n");
        } else if (code == u'\r') {
            escaped += QStringLiteral("\\r");
        } else if (code == u'\t') {
            escaped += QStringLiteral("\\t");
        } else if (code < 0x20 || (code >= 0x7f && code < 0xa0) || code == 0x2028 ||
                   code == 0x2029 || isBidirectionalControl(code)) {
            escaped +=
                QStringLiteral("\\x{%1}").arg(static_cast<uint>(code), 2, 16, QLatin1Char('0'));
        } else {
            escaped += c;
        }
    }
    return escaped;
}

QString Log::shortened(const QString& text, qsizetype limit) {
    if (text.size() <= limit) {
        return text;
    }
    // A cut between the two halves of a surrogate pair would leave half a
    // character.
    const qsizetype cut = text.at(limit - 1).isHighSurrogate() ? limit - 1 : limit;
    return text.left(cut) + QStringLiteral("… (%1 characters)").arg(text.size());
}

void Log::write(const QString& text) {
    // Names from drop folders, the clipboard and servers end up in lines; a
    // control character in one must not start a forged line of its own.
    const QString line = escapeControlCharacters(text);
    std::lock_guard lock(logMutex());
    if (installedSink()) {
        installedSink()(line);
        return;
    }
    const QByteArray utf8 = line.toUtf8();
    std::fprintf(stderr, "dravelo: %s\n", utf8.constData());
    std::fflush(stderr);
    openSyslogOnce();
    syslog(LOG_NOTICE, "%s", utf8.constData());
}

void Log::setSink(Sink sink) {
    std::lock_guard lock(logMutex());
    installedSink() = std::move(sink);
}

} // namespace dravelo

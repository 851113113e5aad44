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

} // namespace

void Log::write(const QString& line) {
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

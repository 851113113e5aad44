#include "support/LogRecorder.h"

#include "platform/core/Log.h"

namespace dravelo::test {

LogRecorder::LogRecorder() {
    Log::setSink([this](const QString& line) {
        std::lock_guard lock(mutex_);
        lines_ << line;
    });
}

LogRecorder::~LogRecorder() {
    Log::setSink({});
}

QStringList LogRecorder::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

bool LogRecorder::contains(const QString& line) const {
    return count(line) > 0;
}

int LogRecorder::count(const QString& line) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(lines_.count(line));
}

} // namespace dravelo::test

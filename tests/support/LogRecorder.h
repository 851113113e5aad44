#pragma once

#include <QStringList>

#include <mutex>

namespace dravelo::test {

// Captures every log line while it exists.
class LogRecorder {
public:
    LogRecorder();
    ~LogRecorder();

    QStringList lines() const;
    bool contains(const QString& line) const;
    int count(const QString& line) const;

private:
    mutable std::mutex mutex_;
    QStringList lines_;
};

} // namespace dravelo::test

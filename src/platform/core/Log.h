#pragma once

#include <QString>

#include <functional>

namespace dravelo {

// The system log: one free-text line per event, without levels or tags.
// Each line goes to stderr and to syslog (the journal), or, while a sink is
// installed, to that sink alone (tests capture lines this way).
class Log {
public:
    using Sink = std::function<void(const QString& line)>;

    static void write(const QString& line);

    // Installs a sink that receives every line instead of stderr and syslog;
    // an empty function restores the default outputs.
    static void setSink(Sink sink);
};

// Shorthand used throughout the client: log("Move Successful.").
inline void log(const QString& line) {
    Log::write(line);
}

} // namespace dravelo

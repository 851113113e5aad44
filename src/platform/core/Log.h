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

    // Writes one line; control characters in it are written as escapes
    // (see escapeControlCharacters), so a line never splits.
    static void write(const QString& line);

    // The text with newline, carriage return and tab as \n, \r, \t and every
    // other control character (C0, DEL, C1, line and paragraph separators,
    // and the bidirectional controls that would reorder the rest of a line)
    // as \x{HH}; everything else unchanged.
    static QString escapeControlCharacters(const QString& text);

    // The text, or, when it is longer than `limit` characters, its first
    // `limit` characters followed by its length, so that a line stays short
    // whatever it quotes.
    static QString shortened(const QString& text, qsizetype limit);

    // Installs a sink that receives every line instead of stderr and syslog;
    // an empty function restores the default outputs.
    static void setSink(Sink sink);
};

// Shorthand used throughout the client: log("Move Successful.").
inline void log(const QString& line) {
    Log::write(line);
}

} // namespace dravelo

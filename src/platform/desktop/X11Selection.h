#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

struct xcb_connection_t;

namespace dravelo {

// The X11 clipboard read over a connection of the client's own, as the bytes
// its owner sends for a target ("UTF8_STRING", "STRING", …), without the text
// conversions of Qt's clipboard, which hold a large text several times over.
// Transfers in increments (INCR) are taken whole. Usable from any thread,
// one call at a time; every wait is bounded.
class X11Selection {
public:
    // Asked while waiting; a wait ends at once when it says so.
    using GivingUp = std::function<bool()>;
    // Told, after each piece of a value sent in pieces, of everything
    // received so far; the view holds until the next piece.
    using Progress = std::function<void(QByteArrayView received)>;

    // Connects to the display DISPLAY names; without one isConnected() is
    // false and every read gives nothing.
    X11Selection();
    ~X11Selection();

    X11Selection(const X11Selection&) = delete;
    X11Selection& operator=(const X11Selection&) = delete;

    bool isConnected() const { return connection_ != nullptr; }

    // The targets the owner offers (its TARGETS); none without an owner or
    // an answer within `stall`.
    std::optional<QList<QByteArray>> targets(std::chrono::milliseconds stall,
                                             const GivingUp& givingUp);

    // The owner's bytes for the target; none when the owner refuses it, or
    // sends nothing for `stall` at a time, or takes longer than `total`.
    std::optional<QByteArray> read(const QByteArray& target, std::chrono::milliseconds stall,
                                   std::chrono::milliseconds total, const GivingUp& givingUp,
                                   const Progress& progress = {});

private:
    std::uint32_t atom(const char* name) const;

    xcb_connection_t* connection_ = nullptr;
    std::uint32_t window_ = 0;
    std::uint32_t clipboard_ = 0;
    std::uint32_t property_ = 0;
    std::uint32_t incr_ = 0;
    std::uint32_t targets_ = 0;
};

} // namespace dravelo

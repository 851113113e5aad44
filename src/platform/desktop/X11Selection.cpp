#include "platform/desktop/X11Selection.h"

#include <QList>

#include <xcb/xcb.h>

#include <poll.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace dravelo {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// How often a wait looks whether it is to give up.
constexpr auto waitSlice = 50ms;
// What one request of a property's value asks for, in 32-bit units: under
// 128 KiB.
constexpr std::uint32_t propertyPart = 30 * 1024;

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
// Replies and events are the caller's to free.
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

// One read: our window and property on the connection, and its limits.
struct Transfer {
    xcb_connection_t* connection;
    xcb_window_t window;
    xcb_atom_t property;
    std::chrono::milliseconds stall;
    Clock::time_point deadline;
    const X11Selection::GivingUp& givingUp;
    Clock::time_point lastProgress = Clock::now();
};

bool isOver(const Transfer& transfer) {
    const Clock::time_point now = Clock::now();
    return (transfer.givingUp && transfer.givingUp()) ||
           now - transfer.lastProgress > transfer.stall || now > transfer.deadline;
}

int eventType(const xcb_generic_event_t& event) {
    return event.response_type & ~0x80;
}

// Waits for the next event that `wanted` takes; none when the wait is over
// first or the connection broke.
template <typename Wanted> Reply<xcb_generic_event_t> nextEvent(Transfer& transfer, Wanted wanted) {
    for (;;) {
        while (xcb_generic_event_t* raw = xcb_poll_for_event(transfer.connection)) {
            Reply<xcb_generic_event_t> event(raw);
            if (wanted(*event)) {
                transfer.lastProgress = Clock::now();
                return event;
            }
        }
        if (xcb_connection_has_error(transfer.connection) != 0 || isOver(transfer)) {
            return nullptr;
        }
        pollfd readable{xcb_get_file_descriptor(transfer.connection), POLLIN, 0};
        ::poll(&readable, 1, static_cast<int>(waitSlice.count()));
    }
}

// Asks the owner to convert the clipboard to `target` into our property,
// and waits for the answer; false when refused.
bool requestConversion(Transfer& transfer, xcb_atom_t clipboard, xcb_atom_t target) {
    xcb_delete_property(transfer.connection, transfer.window, transfer.property);
    xcb_convert_selection(transfer.connection, transfer.window, clipboard, target,
                          transfer.property, XCB_CURRENT_TIME);
    xcb_flush(transfer.connection);
    const Reply<xcb_generic_event_t> event =
        nextEvent(transfer, [&transfer](const xcb_generic_event_t& e) {
            return eventType(e) == XCB_SELECTION_NOTIFY &&
                   reinterpret_cast<const xcb_selection_notify_event_t&>(e).requestor ==
                       transfer.window;
        });
    return event && reinterpret_cast<const xcb_selection_notify_event_t*>(event.get())->property !=
                        XCB_ATOM_NONE;
}

// Appends our property's value to `into` and deletes the property, which
// tells an owner sending in pieces to send the next; false when it cannot be
// read. The property's type goes to `type`. The value is asked for in parts
// small enough to come from the heap rather than from fresh pages each time
// (the client maps larger blocks afresh for every allocation): the first part
// tells the size, and the requests for the rest go out together.
bool takeProperty(const Transfer& transfer, QByteArray& into, xcb_atom_t* type = nullptr) {
    const auto request = [&transfer](std::uint32_t offset) {
        // The server deletes the property with the reply that reads its end.
        return xcb_get_property(transfer.connection, 1, transfer.window, transfer.property,
                                XCB_GET_PROPERTY_TYPE_ANY, offset, propertyPart);
    };
    const auto take = [&](xcb_get_property_cookie_t cookie) -> std::optional<std::uint32_t> {
        const Reply<xcb_get_property_reply_t> reply(
            xcb_get_property_reply(transfer.connection, cookie, nullptr));
        if (!reply) {
            return std::nullopt;
        }
        if (type) {
            *type = reply->type;
        }
        into.append(static_cast<const char*>(xcb_get_property_value(reply.get())),
                    xcb_get_property_value_length(reply.get()));
        return reply->bytes_after;
    };
    const std::optional<std::uint32_t> after = take(request(0));
    if (!after) {
        return false;
    }
    QList<xcb_get_property_cookie_t> rest;
    for (std::uint32_t offset = propertyPart; offset * 4 < propertyPart * 4 + *after;
         offset += propertyPart) {
        rest.append(request(offset));
    }
    for (const xcb_get_property_cookie_t& cookie : rest) {
        if (!take(cookie)) {
            return false;
        }
    }
    return true;
}

// A large text takes fewer page faults where the kernel backs its buffer with
// huge pages.
void adviseHugePages(QByteArray& buffer) {
    constexpr std::uintptr_t page = 4096;
    const auto begin = (reinterpret_cast<std::uintptr_t>(buffer.data()) + page - 1) & ~(page - 1);
    const auto end =
        (reinterpret_cast<std::uintptr_t>(buffer.data()) + buffer.capacity()) & ~(page - 1);
    if (end > begin) {
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }
}

std::optional<QByteArray> readIncrements(Transfer& transfer, qsizetype sizeHint,
                                         const X11Selection::Progress& progress) {
    QByteArray whole;
    whole.reserve(sizeHint);
    adviseHugePages(whole);
    for (;;) {
        const Reply<xcb_generic_event_t> event =
            nextEvent(transfer, [&transfer](const xcb_generic_event_t& e) {
                const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(e);
                return eventType(e) == XCB_PROPERTY_NOTIFY && change.window == transfer.window &&
                       change.atom == transfer.property && change.state == XCB_PROPERTY_NEW_VALUE;
            });
        const qsizetype before = whole.size();
        const qsizetype capacity = whole.capacity();
        if (!event || !takeProperty(transfer, whole)) {
            return std::nullopt;
        }
        // Owners often announce no size: the buffer grows as pieces come.
        if (whole.capacity() != capacity) {
            adviseHugePages(whole);
        }
        xcb_flush(transfer.connection);
        // An empty piece ends the transfer.
        if (whole.size() == before) {
            return whole;
        }
        // Work on what arrived overlaps with the owner's sending the next.
        if (progress) {
            progress(whole);
        }
    }
}

} // namespace

X11Selection::X11Selection() {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    if (xcb_connection_has_error(connection) != 0 || screens.rem == 0) {
        xcb_disconnect(connection);
        return;
    }
    connection_ = connection;
    window_ = xcb_generate_id(connection_);
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screens.data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                      &events);
    clipboard_ = atom("CLIPBOARD");
    property_ = atom("DRAVELO_SELECTION");
    incr_ = atom("INCR");
    targets_ = atom("TARGETS");
}

X11Selection::~X11Selection() {
    if (connection_) {
        xcb_disconnect(connection_);
    }
}

std::uint32_t X11Selection::atom(const char* name) const {
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection_,
        xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr));
    return reply ? reply->atom : static_cast<std::uint32_t>(XCB_ATOM_NONE);
}

std::optional<QList<QByteArray>> X11Selection::targets(std::chrono::milliseconds stall,
                                                       const GivingUp& givingUp) {
    if (!connection_) {
        return std::nullopt;
    }
    Transfer transfer{connection_, window_, property_, stall, Clock::now() + stall, givingUp};
    xcb_atom_t type = XCB_ATOM_NONE;
    QByteArray value;
    if (!requestConversion(transfer, clipboard_, targets_) ||
        !takeProperty(transfer, value, &type) || type != XCB_ATOM_ATOM) {
        return std::nullopt;
    }
    const auto* atoms = reinterpret_cast<const xcb_atom_t*>(value.constData());
    QList<xcb_get_atom_name_cookie_t> cookies;
    for (qsizetype i = 0; i < value.size() / qsizetype(sizeof(xcb_atom_t)); ++i) {
        cookies.append(xcb_get_atom_name(connection_, atoms[i]));
    }
    QList<QByteArray> names;
    for (const xcb_get_atom_name_cookie_t& cookie : cookies) {
        const Reply<xcb_get_atom_name_reply_t> reply(
            xcb_get_atom_name_reply(connection_, cookie, nullptr));
        if (reply) {
            names.append(QByteArray(xcb_get_atom_name_name(reply.get()),
                                    xcb_get_atom_name_name_length(reply.get())));
        }
    }
    return names;
}

std::optional<QByteArray> X11Selection::read(const QByteArray& target,
                                             std::chrono::milliseconds stall,
                                             std::chrono::milliseconds total,
                                             const GivingUp& givingUp, const Progress& progress) {
    if (!connection_) {
        return std::nullopt;
    }
    Transfer transfer{connection_, window_, property_, stall, Clock::now() + total, givingUp};
    xcb_atom_t type = XCB_ATOM_NONE;
    QByteArray value;
    if (!requestConversion(transfer, clipboard_, atom(target.constData())) ||
        !takeProperty(transfer, value, &type)) {
        return std::nullopt;
    }
    if (type != incr_) {
        return value;
    }
    // The owner sends a large value in pieces, each once the last was taken
    // (the deletion of the announcement asks for the first); the announcement
    // may hold a lower bound of the size.
    xcb_flush(connection_);
    const qsizetype sizeHint =
        value.size() >= 4 ? *reinterpret_cast<const std::uint32_t*>(value.constData()) : 0;
    return readIncrements(transfer, sizeHint, progress);
}

} // namespace dravelo

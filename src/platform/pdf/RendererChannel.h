#pragma once

#include "platform/pdf/RendererProtocol.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace dravelo {

// A connection to a PDF renderer, a program apart from the client that does
// all the work on the contents of PDF files. One request at a time, each
// answered or given up within the renderer's limits. Safe to use from any
// thread.
class RendererChannel {
public:
    struct Outcome {
        std::optional<RendererReply> reply;
        // Why there is no reply, in words that fit after a colon.
        QString failure;
    };

    virtual ~RendererChannel() = default;

    // Sends the request and waits for its reply, no longer than the
    // renderer's limits allow. A renderer that overran them or died is
    // ended (with a log line), and the next call starts a new one. Calls
    // from several threads take turns.
    virtual Outcome call(const RendererRequest& request) = 0;

    // Ends the renderer at once, also in the middle of a call, which then
    // fails; every later call fails at once.
    virtual void stop() = 0;

    // Ends the renderer unless a call is under way, to give its memory
    // back; the next call starts a new one.
    virtual void endIfIdle() = 0;
};

// Makes the channels of the client's PDF work; tests hand in renderers that
// run in the test's own process.
using RendererFactory = std::function<std::unique_ptr<RendererChannel>()>;

} // namespace dravelo

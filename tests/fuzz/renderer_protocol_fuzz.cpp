// Feeds arbitrary bytes to the renderer's wire format as either side receives
// them: frames taken off a stream of bytes, and each frame's body decoded as
// a request and as a reply. The format has no slack, so a body that decodes
// must encode back to the very same bytes: the decoder can neither accept
// what the encoder would never write nor read a message differently from how
// it was meant.

#include "platform/pdf/RendererProtocol.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using dravelo::RendererProtocol;

template <typename Message>
void checkRoundTrip(const char* kind, const std::optional<Message>& decoded,
                    const QByteArray& body) {
    if (!decoded) {
        return;
    }
    const QByteArray encoded = RendererProtocol::encode(*decoded);
    if (encoded != body) {
        std::fprintf(stderr,
                     "a %s decoded from %lld bytes encodes differently (%lld bytes)\n"
                     "  body    %s\n  encoded %s\n",
                     kind, static_cast<long long>(body.size()),
                     static_cast<long long>(encoded.size()), body.toHex().constData(),
                     encoded.toHex().constData());
        std::abort();
    }
}

void checkBody(const QByteArray& body) {
    checkRoundTrip("request", RendererProtocol::decodeRequest(body), body);
    checkRoundTrip("reply", RendererProtocol::decodeReply(body), body);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    checkBody(input);
    QByteArray pending = input;
    QByteArray body;
    while (RendererProtocol::takeFrame(pending, body) == RendererProtocol::Take::Frame) {
        checkBody(body);
    }
    return 0;
}

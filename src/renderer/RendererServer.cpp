#include "renderer/RendererServer.h"

#include "renderer/ProcessLimits.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace dravelo {
namespace {

constexpr qsizetype readChunk = 64 * 1024;

} // namespace

RendererServer::RendererServer(int connection, const RendererLimits& limits)
    : connection_(connection)
    , limits_(limits) {}

int RendererServer::run() {
    QByteArray body;
    while (readFrame(body)) {
        const std::optional<RendererRequest> request = RendererProtocol::decodeRequest(body);
        if (!request) {
            std::fprintf(stderr, "dravelo-renderer: the client sent a malformed request\n");
            return 1;
        }
        ProcessLimits::allowCpuSeconds(limits_.cpuSecondsFor(request->kind));
        if (!writeAll(RendererProtocol::frame(engine_.handle(*request)))) {
            return 1;
        }
    }
    return malformed_ ? 1 : 0;
}

bool RendererServer::readFrame(QByteArray& body) {
    for (;;) {
        switch (RendererProtocol::takeFrame(pending_, body)) {
        case RendererProtocol::Take::Frame:
            return true;
        case RendererProtocol::Take::Malformed:
            std::fprintf(stderr, "dravelo-renderer: the client sent a malformed frame\n");
            malformed_ = true;
            return false;
        case RendererProtocol::Take::Incomplete:
            break;
        }
        char chunk[readChunk];
        const ssize_t count = ::read(connection_, chunk, sizeof chunk);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            malformed_ = count < 0 || !pending_.isEmpty();
            return false;
        }
        pending_.append(chunk, count);
    }
}

bool RendererServer::writeAll(const QByteArray& data) {
    qsizetype written = 0;
    while (written < data.size()) {
        const ssize_t count = ::send(connection_, data.constData() + written,
                                     size_t(data.size() - written), MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        written += count;
    }
    return true;
}

} // namespace dravelo

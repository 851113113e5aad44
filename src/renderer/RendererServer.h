#pragma once

#include "platform/pdf/RendererLimits.h"
#include "renderer/PdfEngine.h"

#include <QByteArray>

namespace dravelo {

// Serves the client's requests on one connection, one at a time and in
// order, each within its CPU time, until the client closes the connection.
class RendererServer {
public:
    RendererServer(int connection, const RendererLimits& limits);

    // 0 once the client closed the connection; 1 when it sent something
    // that is not a request, or the connection failed.
    int run();

private:
    // The next request's body; false at the end of the connection.
    bool readFrame(QByteArray& body);
    bool writeAll(const QByteArray& data);

    int connection_;
    RendererLimits limits_;
    PdfEngine engine_;
    QByteArray pending_;
    bool malformed_ = false;
};

} // namespace dravelo

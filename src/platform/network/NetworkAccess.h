#pragma once

#include "platform/network/HttpClient.h"
#include "platform/network/WebSocket.h"

#include <memory>

namespace dravelo {

// Makes the network objects a client uses, on the calling thread.
class NetworkAccess {
public:
    virtual ~NetworkAccess() = default;

    virtual std::unique_ptr<WebSocket> makeWebSocket() = 0;
    virtual std::unique_ptr<HttpClient> makeHttpClient() = 0;
};

} // namespace dravelo

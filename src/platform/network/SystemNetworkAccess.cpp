#include "platform/network/SystemNetworkAccess.h"

#include "platform/network/SystemHttpClient.h"
#include "platform/network/SystemWebSocket.h"

namespace dravelo {

std::unique_ptr<WebSocket> SystemNetworkAccess::makeWebSocket() {
    return std::make_unique<SystemWebSocket>();
}

std::unique_ptr<HttpClient> SystemNetworkAccess::makeHttpClient() {
    return std::make_unique<SystemHttpClient>();
}

} // namespace dravelo

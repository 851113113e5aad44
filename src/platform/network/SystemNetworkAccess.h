#pragma once

#include "platform/network/NetworkAccess.h"

namespace dravelo {

// Qt's network stack: SystemWebSocket and SystemHttpClient.
class SystemNetworkAccess : public NetworkAccess {
public:
    std::unique_ptr<WebSocket> makeWebSocket() override;
    std::unique_ptr<HttpClient> makeHttpClient() override;
};

} // namespace dravelo

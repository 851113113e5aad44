#include "platform/network/NetworkInterfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

namespace dravelo {

QList<InterfaceAddress> NetworkInterfaces::addresses() {
    QList<InterfaceAddress> result;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return result;
    }
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        InterfaceAddress address{QString::fromLocal8Bit(entry->ifa_name), false, {}};
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET) {
            const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
            char text[INET_ADDRSTRLEN] = {};
            if (inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text)) {
                address.isIPv4 = true;
                address.address = QString::fromLatin1(text);
            }
        }
        result.append(address);
    }
    freeifaddrs(list);
    return result;
}

} // namespace dravelo

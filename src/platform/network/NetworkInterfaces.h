#pragma once

#include <QList>
#include <QString>

namespace dravelo {

// One address of a network interface, in the order the system lists them.
struct InterfaceAddress {
    QString interfaceName;
    bool isIPv4 = false;
    // Dotted-decimal for IPv4; empty otherwise.
    QString address;
};

class NetworkInterfaces {
public:
    // The machine's interface addresses (getifaddrs); empty when the list
    // cannot be read.
    static QList<InterfaceAddress> addresses();
};

} // namespace dravelo

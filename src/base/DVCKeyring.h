#pragma once

#include "base/DVCKeyringItem.h"

#include <QString>

#include <optional>

namespace dravelo {

// The user's credentials for the print server, kept as one item of the
// desktop's keyring under the service "Dravelo Client Credentials". A stateless
// service: every operation is a class operation, and an instance holds nothing.
class DVCKeyring {
public:
    // Stores the account and the password (as UTF-8 bytes), creating the item
    // or changing the one item in place. Logs the outcome; on failure the
    // keyring's text for it also goes to `failure` when one is given.
    static bool addKey(const QString& account, const QString& password, QString* failure = nullptr);
    // Deletes the item. Logs the outcome; no item is a failure.
    static bool deleteKey();
    // The stored item, or none when there is none or it cannot be read.
    static std::optional<DVCKeyringItem> getKey();
    // True when the item exists.
    static bool keyExists();
};

} // namespace dravelo

#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace dravelo {

// What one keychain item holds: an account name, which an item made by some
// other program may lack, and the secret bytes.
struct KeychainEntry {
    std::optional<QString> account;
    QByteArray secret;
};

} // namespace dravelo

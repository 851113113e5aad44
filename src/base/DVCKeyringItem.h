#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace dravelo {

// The stored credential item as handed to its readers: the account name and
// the password bytes (UTF-8), either of which may be missing.
class DVCKeyringItem {
public:
    DVCKeyringItem(std::optional<QString> account, std::optional<QByteArray> password);

    const std::optional<QString>& account() const { return account_; }
    const std::optional<QByteArray>& password() const { return password_; }

    // The account name, or "" when it is missing.
    QString accountText() const;
    // The password decoded as UTF-8, or "" when it is missing or its bytes
    // are not valid UTF-8.
    QString passwordText() const;

private:
    std::optional<QString> account_;
    std::optional<QByteArray> password_;
};

} // namespace dravelo

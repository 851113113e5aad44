#include "server/DVCKeyringItem.h"

#include <utility>

namespace dravelo {

DVCKeyringItem::DVCKeyringItem(std::optional<QString> account, std::optional<QByteArray> password)
    : account_(std::move(account))
    , password_(std::move(password)) {}

QString DVCKeyringItem::accountText() const {
    return account_.value_or(QString());
}

QString DVCKeyringItem::passwordText() const {
    return password_ ? QString::fromUtf8(*password_) : QString();
}

} // namespace dravelo

#include "base/DVCKeyringItem.h"

#include "platform/text/TextDecoder.h"

#include <utility>

namespace dravelo {

DVCKeyringItem::DVCKeyringItem(std::optional<QString> account, std::optional<QByteArray> password)
    : account_(std::move(account))
    , password_(std::move(password)) {}

QString DVCKeyringItem::accountText() const {
    return account_.value_or(QString());
}

QString DVCKeyringItem::passwordText() const {
    if (!password_) {
        return QString();
    }
    return TextDecoder::utf8(*password_).value_or(QString());
}

} // namespace dravelo

#include "base/DVCKeyringItem.h"

#include "platform/text/EncodedText.h"

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
    const std::optional<EncodedText> text = EncodedText::fromUtf8(*password_);
    return text ? text->toString() : QString();
}

} // namespace dravelo

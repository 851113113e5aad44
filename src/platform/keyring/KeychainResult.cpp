#include "platform/keyring/KeychainResult.h"

#include <utility>

namespace dravelo {

KeychainResult::KeychainResult(KeychainStatus status, QString message)
    : status_(status)
    , message_(std::move(message)) {}

KeychainResult KeychainResult::success() {
    return {KeychainStatus::Ok, QString()};
}

KeychainResult KeychainResult::success(KeychainEntry entry) {
    KeychainResult result = success();
    result.entry_ = std::move(entry);
    return result;
}

KeychainResult KeychainResult::notFound() {
    return {KeychainStatus::NotFound,
            QStringLiteral("The specified item could not be found in the keychain.")};
}

KeychainResult KeychainResult::locked() {
    return {KeychainStatus::Locked,
            QStringLiteral("The keyring that holds the item is locked; unlock it and try again.")};
}

KeychainResult KeychainResult::noService() {
    return {KeychainStatus::NoService,
            QStringLiteral("No keyring service (org.freedesktop.secrets) is available on the "
                           "session bus.")};
}

KeychainResult KeychainResult::noSessionBus(const QString& detail) {
    return {KeychainStatus::NoSessionBus,
            QStringLiteral("No D-Bus session bus is available for the keyring: %1").arg(detail)};
}

KeychainResult KeychainResult::timedOut() {
    return {KeychainStatus::TimedOut,
            QStringLiteral("The keyring service did not answer in time.")};
}

KeychainResult KeychainResult::failed(const QString& message) {
    return {KeychainStatus::Failed,
            message.isEmpty() ? QStringLiteral("The keyring reported an unknown error.") : message};
}

} // namespace dravelo

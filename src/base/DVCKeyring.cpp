#include "base/DVCKeyring.h"

#include "platform/core/Log.h"
#include "platform/keyring/Keychain.h"

namespace dravelo {
namespace {

Keychain credentialKeychain() {
    return Keychain(QStringLiteral("Dravelo Client Credentials"));
}

} // namespace

bool DVCKeyring::addKey(const QString& account, const QString& password, QString* failure) {
    QByteArray secret = password.toUtf8();
    const KeychainResult result = credentialKeychain().store(account, secret);
    secret.fill('\0');
    if (!result.ok()) {
        log(result.message());
        if (failure) {
            *failure = result.message();
        }
        return false;
    }
    log(QStringLiteral("Added credentials to keychain"));
    return true;
}

bool DVCKeyring::deleteKey() {
    const KeychainResult result = credentialKeychain().remove();
    if (!result.ok()) {
        log(result.message());
        return false;
    }
    log(QStringLiteral("Deleted key"));
    return true;
}

std::optional<DVCKeyringItem> DVCKeyring::getKey() {
    const KeychainResult result = credentialKeychain().read();
    if (!result.ok()) {
        return std::nullopt;
    }
    return DVCKeyringItem(result.entry()->account, result.entry()->secret);
}

bool DVCKeyring::keyExists() {
    return credentialKeychain().exists().ok();
}

} // namespace dravelo

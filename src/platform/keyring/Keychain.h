#pragma once

#include "platform/keyring/KeychainResult.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>

namespace dravelo {

class SecretServiceClient;

// One generic-password item per service in the desktop's keyring (the Secret
// Service): the item is found by its "service" attribute alone and holds an
// "account" attribute and the secret bytes.
//
// Every operation waits a bounded time for the keyring service, which may
// never answer; once the service has answered, a prompt that asks the user
// to unlock the keyring gets longer. The secret is kept nowhere but in the
// keyring and in the results handed to the caller.
class Keychain {
public:
    static constexpr std::chrono::milliseconds defaultAnswerLimit{5000};
    static constexpr std::chrono::milliseconds unlockPromptLimit{120000};

    explicit Keychain(QString service, std::chrono::milliseconds answerLimit = defaultAnswerLimit);

    // Ok when the item exists, locked or not; NotFound when it does not.
    KeychainResult exists() const;
    // Ok with the entry; unlocks the keyring if it has to.
    KeychainResult read() const;
    // Changes the item in place when there is one, so that there is never
    // more than one; otherwise creates it in the default collection.
    KeychainResult store(const QString& account, const QByteArray& secret) const;
    // Deletes every item of the service; NotFound when there is none.
    KeychainResult remove() const;

private:
    using Step = std::function<KeychainResult(SecretServiceClient& client)>;

    KeychainResult perform(Step step) const;

    QString service_;
    std::chrono::milliseconds answerLimit_;
};

} // namespace dravelo

// libsecret's headers come before any Qt header.
#include "platform/keyring/SecretServiceClient.h"

#include "platform/core/BoundedCall.h"
#include "platform/keyring/Keychain.h"

#include <memory>
#include <optional>
#include <utility>

namespace dravelo {

Keychain::Keychain(QString service, std::chrono::milliseconds answerLimit)
    : service_(std::move(service))
    , answerLimit_(answerLimit) {}

KeychainResult Keychain::exists() const {
    return perform([](SecretServiceClient& client) { return client.exists(); });
}

KeychainResult Keychain::read() const {
    return perform([](SecretServiceClient& client) { return client.read(); });
}

KeychainResult Keychain::store(const QString& account, const QByteArray& secret) const {
    // The secret goes straight into libsecret's own (non-swappable, wiped)
    // memory; the worker shares that value, not a copy of the bytes.
    std::shared_ptr<SecretValue> value(
        secret_value_new(secret.constData(), secret.size(), "text/plain"), secret_value_unref);
    return perform([value, account = account.toUtf8()](SecretServiceClient& client) {
        return client.store(account, value.get());
    });
}

KeychainResult Keychain::remove() const {
    return perform([](SecretServiceClient& client) { return client.remove(); });
}

KeychainResult Keychain::perform(Step step) const {
    // Everything the worker touches is its own or shared with it, so a worker
    // that outlives the wait finishes safely on its own.
    auto outcome = std::make_shared<std::optional<KeychainResult>>();
    std::shared_ptr<GCancellable> cancellable(g_cancellable_new(), g_object_unref);
    const bool finished = BoundedCall::run(
        [outcome, cancellable, step = std::move(step),
         service = service_.toUtf8()](BoundedCall& call) {
            SecretServiceClient client(service, cancellable.get(), call, unlockPromptLimit);
            *outcome = step(client);
        },
        answerLimit_);
    if (!finished) {
        // Ends the worker's pending call now rather than at the D-Bus timeout.
        g_cancellable_cancel(cancellable.get());
        return KeychainResult::timedOut();
    }
    return std::move(**outcome);
}

} // namespace dravelo

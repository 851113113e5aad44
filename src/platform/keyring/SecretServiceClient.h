#pragma once

// libsecret's headers come before any Qt header.
#include <libsecret/secret.h>

#include "platform/keyring/KeychainResult.h"

#include <QByteArray>

#include <chrono>

namespace dravelo {

class BoundedCall;

// The steps of one keychain operation against the Secret Service, made with
// libsecret's blocking calls. An instance lives on a BoundedCall's worker
// thread for one operation; the items it handles carry the attributes
// "service" and "account" and are found by "service" alone.
class SecretServiceClient {
public:
    SecretServiceClient(QByteArray serviceName, GCancellable* cancellable, BoundedCall& call,
                        std::chrono::milliseconds unlockLimit);
    ~SecretServiceClient();
    SecretServiceClient(const SecretServiceClient&) = delete;
    SecretServiceClient& operator=(const SecretServiceClient&) = delete;

    KeychainResult exists();
    KeychainResult read();
    KeychainResult store(const QByteArray& account, SecretValue* secret);
    KeychainResult remove();

private:
    KeychainResult connect();
    KeychainResult find(SecretSearchFlags flags, GList** items);
    KeychainResult findUnlocked(SecretSearchFlags flags, GList** items);
    KeychainResult unlock(GList* items);
    KeychainResult update(SecretItem* item, const QByteArray& account, SecretValue* secret);
    KeychainResult create(const QByteArray& account, SecretValue* secret);
    GHashTable* newAttributes(const QByteArray* account) const;

    QByteArray serviceName_;
    GCancellable* cancellable_;
    BoundedCall& call_;
    std::chrono::milliseconds unlockLimit_;
    SecretService* service_ = nullptr;
};

} // namespace dravelo

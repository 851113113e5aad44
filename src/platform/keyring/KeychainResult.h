#pragma once

#include "platform/keyring/KeychainEntry.h"

#include <QString>

#include <optional>

namespace dravelo {

enum class KeychainStatus {
    Ok,
    NotFound,
    Locked,
    NoService,
    NoSessionBus,
    TimedOut,
    Failed,
};

// The outcome of one keychain operation: a status, a message text that says
// what went wrong (empty on success), and for a successful read the entry.
class KeychainResult {
public:
    static KeychainResult success();
    static KeychainResult success(KeychainEntry entry);
    static KeychainResult notFound();
    static KeychainResult locked();
    static KeychainResult noService();
    static KeychainResult noSessionBus(const QString& detail);
    static KeychainResult timedOut();
    static KeychainResult failed(const QString& message);

    KeychainStatus status() const { return status_; }
    bool ok() const { return status_ == KeychainStatus::Ok; }
    const QString& message() const { return message_; }
    const std::optional<KeychainEntry>& entry() const { return entry_; }

private:
    KeychainResult(KeychainStatus status, QString message);

    KeychainStatus status_;
    QString message_;
    std::optional<KeychainEntry> entry_;
};

} // namespace dravelo

#include "platform/keyring/SecretServiceClient.h"

#include "platform/core/BoundedCall.h"

#include <utility>

namespace dravelo {
namespace {

const SecretSchema* credentialSchema() {
    static const SecretSchema schema = [] {
        SecretSchema s{};
        s.name = "org.dravelo.Client.Credentials";
        // Items are matched by their attributes alone, whichever program made them.
        s.flags = SECRET_SCHEMA_DONT_MATCH_NAME;
        s.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return s;
    }();
    return &schema;
}

// Errors of any call to the service: a locked item, our own cancellation
// after the wait gave up, or the service's own text.
KeychainResult failure(GError* error) {
    if (g_error_matches(error, SECRET_ERROR, SECRET_ERROR_IS_LOCKED)) {
        return KeychainResult::locked();
    }
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED) ||
        g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT) ||
        g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_TIMED_OUT) ||
        g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NO_REPLY)) {
        return KeychainResult::timedOut();
    }
    g_dbus_error_strip_remote_error(error);
    return KeychainResult::failed(QString::fromUtf8(error->message));
}

// Errors of the first calls to the service, where a missing service shows.
KeychainResult unavailable(GError* error) {
    if (g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
        g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER)) {
        return KeychainResult::noService();
    }
    return failure(error);
}

bool anyLocked(GList* items) {
    for (GList* node = items; node != nullptr; node = node->next) {
        if (secret_item_get_locked(SECRET_ITEM(node->data))) {
            return true;
        }
    }
    return false;
}

std::optional<QString> accountOf(SecretItem* item) {
    g_autoptr(GHashTable) attributes = secret_item_get_attributes(item);
    const auto* account = static_cast<const char*>(g_hash_table_lookup(attributes, "account"));
    if (account == nullptr) {
        return std::nullopt;
    }
    return QString::fromUtf8(account);
}

} // namespace

SecretServiceClient::SecretServiceClient(QByteArray serviceName, GCancellable* cancellable,
                                         BoundedCall& call, std::chrono::milliseconds unlockLimit)
    : serviceName_(std::move(serviceName))
    , cancellable_(cancellable)
    , call_(call)
    , unlockLimit_(unlockLimit) {}

SecretServiceClient::~SecretServiceClient() {
    if (service_ != nullptr) {
        g_object_unref(service_);
    }
}

KeychainResult SecretServiceClient::exists() {
    g_autolist(SecretItem) items = nullptr;
    return find(SECRET_SEARCH_NONE, &items);
}

KeychainResult SecretServiceClient::read() {
    g_autolist(SecretItem) items = nullptr;
    KeychainResult found = findUnlocked(SECRET_SEARCH_NONE, &items);
    if (!found.ok()) {
        return found;
    }
    auto* item = SECRET_ITEM(items->data);
    g_autoptr(GError) error = nullptr;
    if (!secret_item_load_secret_sync(item, cancellable_, &error)) {
        return failure(error);
    }
    // A locked item yields no secret and no error.
    g_autoptr(SecretValue) value = secret_item_get_secret(item);
    if (value == nullptr) {
        return KeychainResult::locked();
    }
    gsize length = 0;
    const gchar* bytes = secret_value_get(value, &length);
    return KeychainResult::success(
        KeychainEntry{accountOf(item), QByteArray(bytes, static_cast<qsizetype>(length))});
}

KeychainResult SecretServiceClient::store(const QByteArray& account, SecretValue* secret) {
    g_autolist(SecretItem) items = nullptr;
    KeychainResult found = findUnlocked(SECRET_SEARCH_NONE, &items);
    if (found.status() == KeychainStatus::NotFound) {
        return create(account, secret);
    }
    // A locked item is not worked around by adding a second one elsewhere.
    if (!found.ok()) {
        return found;
    }
    return update(SECRET_ITEM(items->data), account, secret);
}

KeychainResult SecretServiceClient::remove() {
    g_autolist(SecretItem) items = nullptr;
    KeychainResult found = findUnlocked(SECRET_SEARCH_ALL, &items);
    if (!found.ok()) {
        return found;
    }
    for (GList* node = items; node != nullptr; node = node->next) {
        g_autoptr(GError) error = nullptr;
        if (!secret_item_delete_sync(SECRET_ITEM(node->data), cancellable_, &error)) {
            return failure(error);
        }
    }
    return KeychainResult::success();
}

KeychainResult SecretServiceClient::connect() {
    g_autoptr(GError) error = nullptr;
    g_autoptr(GDBusConnection) bus = g_bus_get_sync(G_BUS_TYPE_SESSION, cancellable_, &error);
    if (bus == nullptr) {
        return KeychainResult::noSessionBus(QString::fromUtf8(error->message));
    }
    // GLib ends the process when this shared connection closes; losing the
    // session bus must not end the client.
    g_dbus_connection_set_exit_on_close(bus, FALSE);
    service_ = secret_service_get_sync(SECRET_SERVICE_NONE, cancellable_, &error);
    if (service_ == nullptr) {
        return unavailable(error);
    }
    return KeychainResult::success();
}

KeychainResult SecretServiceClient::find(SecretSearchFlags flags, GList** items) {
    if (service_ == nullptr) {
        KeychainResult connected = connect();
        if (!connected.ok()) {
            return connected;
        }
    }
    g_autoptr(GHashTable) attributes = newAttributes(nullptr);
    g_autoptr(GError) error = nullptr;
    *items = secret_service_search_sync(service_, credentialSchema(), attributes, flags,
                                        cancellable_, &error);
    if (error != nullptr) {
        return unavailable(error);
    }
    return *items == nullptr ? KeychainResult::notFound() : KeychainResult::success();
}

KeychainResult SecretServiceClient::findUnlocked(SecretSearchFlags flags, GList** items) {
    KeychainResult found = find(flags, items);
    if (!found.ok() || !anyLocked(*items)) {
        return found;
    }
    KeychainResult unlocked = unlock(*items);
    if (!unlocked.ok()) {
        return unlocked;
    }
    // Search again: a locked item's attributes were read as hashed values.
    g_list_free_full(std::exchange(*items, nullptr), g_object_unref);
    KeychainResult refound = find(flags, items);
    if (refound.ok() && anyLocked(*items)) {
        return KeychainResult::locked();
    }
    return refound;
}

KeychainResult SecretServiceClient::unlock(GList* items) {
    // The service may now ask the user for the keyring's password.
    call_.extendBy(unlockLimit_);
    g_autolist(GDBusProxy) unlocked = nullptr;
    g_autoptr(GError) error = nullptr;
    secret_service_unlock_sync(service_, items, cancellable_, &unlocked, &error);
    if (error != nullptr) {
        return failure(error);
    }
    return KeychainResult::success();
}

KeychainResult SecretServiceClient::update(SecretItem* item, const QByteArray& account,
                                           SecretValue* secret) {
    g_autoptr(GHashTable) attributes = newAttributes(&account);
    g_autoptr(GError) error = nullptr;
    if (!secret_item_set_secret_sync(item, secret, cancellable_, &error) ||
        !secret_item_set_attributes_sync(item, credentialSchema(), attributes, cancellable_,
                                         &error)) {
        return failure(error);
    }
    return KeychainResult::success();
}

KeychainResult SecretServiceClient::create(const QByteArray& account, SecretValue* secret) {
    // A locked or missing default keyring makes the service prompt the user.
    call_.extendBy(unlockLimit_);
    g_autoptr(GHashTable) attributes = newAttributes(&account);
    g_autoptr(GError) error = nullptr;
    if (!secret_service_store_sync(service_, credentialSchema(), attributes,
                                   SECRET_COLLECTION_DEFAULT, serviceName_.constData(), secret,
                                   cancellable_, &error)) {
        return failure(error);
    }
    return KeychainResult::success();
}

// The attributes that identify the item, with the account when one is given.
// The table borrows its strings and must not outlive them.
GHashTable* SecretServiceClient::newAttributes(const QByteArray* account) const {
    GHashTable* attributes = g_hash_table_new(g_str_hash, g_str_equal);
    g_hash_table_insert(attributes, const_cast<char*>("service"),
                        const_cast<char*>(serviceName_.constData()));
    if (account != nullptr) {
        g_hash_table_insert(attributes, const_cast<char*>("account"),
                            const_cast<char*>(account->constData()));
    }
    return attributes;
}

} // namespace dravelo

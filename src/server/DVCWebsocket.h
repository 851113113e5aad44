#pragma once

#include "base/DVCKeyringItem.h"
#include "platform/network/NetworkInterfaces.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace dravelo {

class DVCNotificationCenter;
class JobLock;
class NetworkAccess;
class UserDefaults;
class WorkQueue;

// What a server session is given. Only the settings store and the home
// directory are required; each other member left empty means the real thing.
struct DVCWebsocketContext {
    UserDefaults& defaults;
    // The user's home directory, where downloaded jobs are written.
    QString homePath;
    // Makes the WebSocket and the HTTP client; Qt's network stack when empty.
    std::shared_ptr<NetworkAccess> network = {};
    // Runs the session's work one item at a time, in order; a thread of the
    // session's own (started at the first piece of work) when empty.
    std::shared_ptr<WorkQueue> queue = {};
    // Reads the stored credentials; the desktop's keyring when empty.
    std::function<std::optional<DVCKeyringItem>()> readCredentials = {};
    // How many characters of received messages may wait to be handled while
    // a job downloads; a message beyond that is dropped.
    qsizetype waitingTextLimit = 64 * 1024 * 1024;
};

// The client's one connection to the print server: a WebSocket opened with
// the user's credentials, over which the client announces itself and the
// server announces jobs, which the session downloads into the home directory
// and then deletes on the server.
//
// connect() and disconnect() may be called from any thread and return at
// once: they, the socket's callbacks and each job's downloads run in order,
// one at a time, on the session's own work queue. The session never connects
// on its own. Test doubles may replace connect() and disconnect(); a session
// starts no thread and touches no network until one of them runs.
class DVCWebsocket {
public:
    enum class ConnectionState { NoConnection, Connecting, Open, Closed };
    // Told on the UI thread whenever the state changes, with the server
    // address (the serviceUrl setting) of the connection concerned.
    using StateObserver = std::function<void(ConnectionState state, const QString& address)>;

    // A line for the user saying whether the client is connected, and where.
    static QString describe(ConnectionState state, const QString& address);
    // Whether the user should see that the client is not connected: a
    // server address is set and no connection to it is open. With no
    // address there is nothing to connect to.
    static bool lacksConnection(ConnectionState state, const QString& address);

    explicit DVCWebsocket(DVCWebsocketContext context);
    virtual ~DVCWebsocket();

    DVCWebsocket(const DVCWebsocket&) = delete;
    DVCWebsocket& operator=(const DVCWebsocket&) = delete;

    // The session on the real platform: its own thread, Qt's network stack,
    // the desktop's keyring.
    static std::shared_ptr<DVCWebsocket> create(UserDefaults& defaults, const QString& homePath);

    // The job lock, shared with the drop-folder watcher; held while a job's
    // downloaded files are renamed into the home directory. Set before
    // connect().
    void setJobLock(JobLock& jobLock);
    // Receives every notification of the session (shown on the UI thread).
    void setNotificationCenter(std::shared_ptr<DVCNotificationCenter> notificationCenter);
    void setStateObserver(StateObserver observer);

    // Starts a new connection attempt to the server named by serviceUrl.
    virtual void connect();
    // Closes the open connection, if there is one.
    virtual void disconnect();

    // Ends the session's work for good, within a few seconds whatever the
    // server does: downloads under way are cut short and the socket closed.
    void stop();

    // The value of the "Authorization" header, read afresh from the keyring.
    QString auth() const;
    // The client package announcing this client, as sent on opening.
    QByteArray genClientPackageData() const;
    // The machine's IPv4 addresses run together, loopback left out.
    static QString getIP();
    // The same text for the addresses given, in their order.
    static QString getIP(const QList<InterfaceAddress>& addresses);

private:
    class Session;
    std::shared_ptr<Session> session_;
};

} // namespace dravelo

#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;

namespace dravelo {

// Keeps one client running per user and home directory. The first process
// claims a lock and listens on a local socket; a later one finds the lock
// held, asks the running one to reopen, and exits. A lock left by a killed
// client does not stop the next start.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    // Lock and socket live in `runtimeDirectory`, named after the user and
    // the home directory.
    SingleInstance(const QString& runtimeDirectory, const QString& homePath,
                   QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process is now the running client; false when another
    // one runs (it has been asked to reopen) or nothing could be claimed.
    bool claim();

    static QString defaultRuntimeDirectory();

Q_SIGNALS:
    void reopenRequested();

private:
    SingleInstance(const QString& basePath, QObject* parent);

    bool listen();
    bool askRunningInstanceToReopen() const;
    void readRequest();

    QString socketPath_;
    QLockFile lock_;
    QLocalServer* server_ = nullptr;
};

} // namespace dravelo

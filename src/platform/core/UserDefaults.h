#pragma once

#include <QMap>
#include <QSettings>
#include <QString>

#include <mutex>
#include <optional>

namespace dravelo {

// The user's settings store: an INI file (keys under [General]) that another
// process may edit while the client runs, plus a layer of registered defaults
// that lives in memory for the running process. Every read looks at the file
// as it is now, so an outside change is seen at the next read. Safe to use
// from several threads at once.
class UserDefaults {
public:
    // The store at $XDG_CONFIG_HOME/dravelo/dravelo.conf.
    UserDefaults();
    explicit UserDefaults(const QString& filePath);

    QString filePath() const;

    // The stored value of the key, else its registered default, else none.
    std::optional<QString> stringForKey(const QString& key);

    // Reads a value as a Boolean: "yes", "true" (any letter case) and non-zero
    // integers are true; everything else, a missing key included, is false.
    bool boolForKey(const QString& key);

    // Registered defaults answer for keys that hold no stored value. They are
    // never written to the file.
    void registerDefaults(const QMap<QString, QString>& defaults);

    // Writes a value into the file.
    void setInteger(const QString& key, int value);

    // Write a value into the file at once. A Boolean is written as "yes" or
    // "no", the form the file's registered defaults take. When the file
    // cannot be written, nothing changes, so that reads go on giving what
    // the file holds, and false is returned.
    bool setString(const QString& key, const QString& value);
    bool setBool(const QString& key, bool value);

    // Flushes pending writes and takes in changes made by other processes.
    void synchronize();

    static QString defaultFilePath();

private:
    std::optional<QString> storedString(const QString& key);

    std::mutex mutex_;
    QSettings settings_;
    QMap<QString, QString> registered_;
};

} // namespace dravelo

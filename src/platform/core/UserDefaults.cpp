#include "platform/core/UserDefaults.h"

#include <QStandardPaths>
#include <QStringList>

namespace dravelo {

UserDefaults::UserDefaults()
    : UserDefaults(defaultFilePath()) {}

UserDefaults::UserDefaults(const QString& filePath)
    : settings_(filePath, QSettings::IniFormat) {}

QString UserDefaults::defaultFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/dravelo/dravelo.conf");
}

QString UserDefaults::filePath() const {
    return settings_.fileName();
}

std::optional<QString> UserDefaults::storedString(const QString& key) {
    // sync() re-reads the file when another process changed it.
    settings_.sync();
    const QVariant value = settings_.value(key);
    if (!value.isValid()) {
        return std::nullopt;
    }
    // The INI reader turns a value holding commas into a list; the setting is
    // still the one text the user wrote.
    if (value.userType() == QMetaType::QStringList) {
        return value.toStringList().join(QStringLiteral(", "));
    }
    return value.toString();
}

std::optional<QString> UserDefaults::stringForKey(const QString& key) {
    std::lock_guard lock(mutex_);
    if (auto stored = storedString(key)) {
        return stored;
    }
    if (const auto it = registered_.constFind(key); it != registered_.constEnd()) {
        return *it;
    }
    return std::nullopt;
}

bool UserDefaults::boolForKey(const QString& key) {
    const std::optional<QString> value = stringForKey(key);
    if (!value) {
        return false;
    }
    const QString text = value->trimmed();
    if (text.compare(QStringLiteral("yes"), Qt::CaseInsensitive) == 0 ||
        text.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0) {
        return true;
    }
    bool isNumber = false;
    const long long number = text.toLongLong(&isNumber);
    return isNumber && number != 0;
}

void UserDefaults::registerDefaults(const QMap<QString, QString>& defaults) {
    std::lock_guard lock(mutex_);
    for (auto it = defaults.constBegin(); it != defaults.constEnd(); ++it) {
        registered_.insert(it.key(), it.value());
    }
}

void UserDefaults::setInteger(const QString& key, int value) {
    std::lock_guard lock(mutex_);
    settings_.setValue(key, value);
}

bool UserDefaults::setString(const QString& key, const QString& value) {
    std::lock_guard lock(mutex_);
    // Checked first: QSettings keeps a change it failed to write and would
    // answer reads with it.
    if (!settings_.isWritable()) {
        return false;
    }
    // A null text would be written as no value at all.
    settings_.setValue(key, value.isNull() ? QStringLiteral("") : value);
    settings_.sync();
    return settings_.status() != QSettings::AccessError;
}

bool UserDefaults::setBool(const QString& key, bool value) {
    return setString(key, value ? QStringLiteral("yes") : QStringLiteral("no"));
}

void UserDefaults::synchronize() {
    std::lock_guard lock(mutex_);
    settings_.sync();
}

} // namespace dravelo

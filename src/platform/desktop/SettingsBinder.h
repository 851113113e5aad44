#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace dravelo {

class UserDefaults;

// Ties the controls of a form to keys of the settings store. A bound control
// shows the value the store reads (a registered default included) and writes
// the store as soon as the user changes it. When the store cannot be written
// the failure is logged and the control goes back to what the store reads.
class SettingsBinder : public QObject {
    Q_OBJECT

public:
    // One entry of a choice list: the label shown and the value stored.
    struct Choice {
        QString label;
        QString value;
    };

    explicit SettingsBinder(UserDefaults& defaults, QObject* parent = nullptr);

    void bindText(QLineEdit* field, const QString& key);
    void bindFlag(QCheckBox* box, const QString& key);
    // A stored value that no choice offers is shown as it is, as one more
    // entry, and kept until the user picks another.
    void bindChoice(QComboBox* list, const QString& key, const QList<Choice>& choices);

Q_SIGNALS:
    // The user changed a bound control; the store holds what it now reads.
    void settingEdited(const QString& key);

private:
    bool written(bool ok, const QString& key);

    void showText(QLineEdit* field, const QString& key);
    void showFlag(QCheckBox* box, const QString& key);
    void showChoice(QComboBox* list, const QString& key);

    UserDefaults& defaults_;
};

} // namespace dravelo

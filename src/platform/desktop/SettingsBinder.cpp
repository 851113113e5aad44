#include "platform/desktop/SettingsBinder.h"

#include "platform/core/Log.h"
#include "platform/core/UserDefaults.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

namespace dravelo {

SettingsBinder::SettingsBinder(UserDefaults& defaults, QObject* parent)
    : QObject(parent)
    , defaults_(defaults) {}

void SettingsBinder::bindText(QLineEdit* field, const QString& key) {
    showText(field, key);
    QObject::connect(field, &QLineEdit::textEdited, this, [this, field, key](const QString& text) {
        if (!written(defaults_.setString(key, text), key)) {
            showText(field, key);
        }
        Q_EMIT settingEdited(key);
    });
}

void SettingsBinder::bindFlag(QCheckBox* box, const QString& key) {
    showFlag(box, key);
    QObject::connect(box, &QCheckBox::clicked, this, [this, box, key](bool checked) {
        if (!written(defaults_.setBool(key, checked), key)) {
            showFlag(box, key);
        }
        Q_EMIT settingEdited(key);
    });
}

void SettingsBinder::bindChoice(QComboBox* list, const QString& key, const QList<Choice>& choices) {
    list->clear();
    for (const Choice& choice : choices) {
        list->addItem(choice.label, choice.value);
    }
    showChoice(list, key);
    QObject::connect(list, &QComboBox::activated, this, [this, list, key](int index) {
        if (!written(defaults_.setString(key, list->itemData(index).toString()), key)) {
            showChoice(list, key);
        }
        Q_EMIT settingEdited(key);
    });
}

bool SettingsBinder::written(bool ok, const QString& key) {
    if (!ok) {
        log(QStringLiteral("Could not write the setting %1 to %2").arg(key, defaults_.filePath()));
    }
    return ok;
}

void SettingsBinder::showText(QLineEdit* field, const QString& key) {
    field->setText(defaults_.stringForKey(key).value_or(QString()));
}

void SettingsBinder::showFlag(QCheckBox* box, const QString& key) {
    const QSignalBlocker quiet(box);
    box->setChecked(defaults_.boolForKey(key));
}

void SettingsBinder::showChoice(QComboBox* list, const QString& key) {
    const QSignalBlocker quiet(list);
    const std::optional<QString> value = defaults_.stringForKey(key);
    if (!value) {
        list->setCurrentIndex(-1);
        return;
    }
    int index = list->findData(*value);
    if (index < 0) {
        list->addItem(*value, *value);
        index = list->count() - 1;
    }
    list->setCurrentIndex(index);
}

} // namespace dravelo

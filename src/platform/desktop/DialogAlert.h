#pragma once

#include "platform/desktop/Alert.h"

#include <QList>

#include <memory>

class QDialog;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace dravelo {

// An alert as a QDialog: message and informative text, the field, and the
// buttons in the order added. The field has the focus; Return presses the
// button whose key equivalent is Return, Esc the one whose key equivalent
// is Esc.
class DialogAlert : public Alert {
public:
    DialogAlert();
    ~DialogAlert() override;

    void setMessageText(const QString& text) override;
    QString messageText() const override;
    void setInformativeText(const QString& text) override;
    QString informativeText() const override;
    void addButton(const QString& title, const QString& keyEquivalent) override;
    void setTextField(const QSize& size) override;
    QString fieldText() const override;
    void setFieldText(const QString& text) override;
    int runModal() override;

    // The dialog, for tests that drive it.
    QDialog* dialog() const { return dialog_.get(); }

private:
    int escapeResult() const;

    std::unique_ptr<QDialog> dialog_;
    QLabel* message_ = nullptr;
    QLabel* informative_ = nullptr;
    QLineEdit* field_ = nullptr;
    QHBoxLayout* buttonRow_ = nullptr;
    QList<QPushButton*> buttons_;
    QList<QString> keyEquivalents_;
};

} // namespace dravelo

#pragma once

#include "platform/desktop/Alert.h"

#include <QList>
#include <QStringList>

#include <functional>
#include <optional>

namespace dravelo::test {

// An alert that answers runModal() from a script instead of a person. Each
// showing is recorded as the user would have seen it.
class ScriptedAlert : public Alert {
public:
    // One answer: optionally type a text into the field, then press the
    // button whose result is given.
    struct Answer {
        int result = firstButtonReturn;
        std::optional<QString> typed;
    };
    struct Showing {
        QString messageText;
        QString informativeText;
        QString fieldText;
    };

    static Answer press(int result) { return {result, std::nullopt}; }
    static Answer type(const QString& text) { return {secondButtonReturn, text}; }

    // Answers to give, in order; once they run out, every showing is Esc'd.
    void script(QList<Answer> answers) { answers_.append(answers); }
    // Runs at every showing, before the answer (to look at files meanwhile).
    void onShow(std::function<void()> hook) { onShow_ = std::move(hook); }

    const QList<Showing>& showings() const { return showings_; }
    QStringList buttonTitles() const { return titles_; }
    QStringList keyEquivalents() const { return keys_; }
    QSize textFieldSize() const { return fieldSize_; }

    void setMessageText(const QString& text) override { message_ = text; }
    QString messageText() const override { return message_; }
    void setInformativeText(const QString& text) override { informative_ = text; }
    QString informativeText() const override { return informative_; }
    void addButton(const QString& title, const QString& keyEquivalent) override;
    void setTextField(const QSize& size) override { fieldSize_ = size; }
    QString fieldText() const override { return field_; }
    void setFieldText(const QString& text) override { field_ = text; }
    int runModal() override;

private:
    QString message_;
    QString informative_;
    QString field_;
    QSize fieldSize_;
    QStringList titles_;
    QStringList keys_;
    QList<Answer> answers_;
    QList<Showing> showings_;
    std::function<void()> onShow_;
};

} // namespace dravelo::test

#include "platform/desktop/DialogAlert.h"

#include "support/QtPrinting.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using dravelo::Alert;
using dravelo::DialogAlert;

namespace {

// Builds the prompt the way the password prompt does: "Escape" first with
// Esc, "Enter" second with Return, and the field.
class DialogAlertTest : public ::testing::Test {
protected:
    void SetUp() override {
        alert.addButton(QStringLiteral("Escape"), Alert::escapeKey);
        alert.addButton(QStringLiteral("Enter"), Alert::returnKey);
        alert.setTextField(QSize(200, 24));
    }
    // Runs the prompt while `user` acts on the widget that has the focus.
    int runWhile(std::function<void(QWidget* focused)> user) {
        QTimer::singleShot(0, alert.dialog(),
                           [this, user] { user(alert.dialog()->focusWidget()); });
        return alert.runModal();
    }

    DialogAlert alert;
};

TEST_F(DialogAlertTest, TypingGoesToTheFieldAndTheKeysPressTheButtonsTheyName) {
    struct Case {
        const char* name;
        std::function<void(QWidget*)> act;
        int result;
    };
    const QList<Case> cases{
        {"Return", [](QWidget* w) { QTest::keyClick(w, Qt::Key_Return); },
         Alert::secondButtonReturn},
        {"Esc", [](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); }, Alert::firstButtonReturn},
        {"window closed", [](QWidget* w) { w->window()->close(); }, Alert::firstButtonReturn},
        {"first button clicked",
         [](QWidget* w) {
             QTest::mouseClick(w->window()->findChildren<QPushButton*>().first(), Qt::LeftButton);
         },
         Alert::firstButtonReturn},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        alert.setFieldText(QStringLiteral("old"));
        QString focusedClass;
        const int result = runWhile([&](QWidget* focused) {
            focusedClass =
                QString::fromLatin1(focused ? focused->metaObject()->className() : "none");
            QTest::keyClicks(focused, QStringLiteral("typed"));
            c.act(focused);
        });
        EXPECT_EQ(focusedClass, QStringLiteral("QLineEdit"));
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(alert.fieldText(), QStringLiteral("typed")) << "the old text was selected";
    }
}

TEST_F(DialogAlertTest, ShowsTextsAsPlainText) {
    alert.setMessageText(QStringLiteral("The document <b>a&b</b>.ppf"));
    alert.setInformativeText(QStringLiteral("Incorrect password, please try again."));
    EXPECT_EQ(alert.messageText(), QStringLiteral("The document <b>a&b</b>.ppf"));
    const QList<QLabel*> labels = alert.dialog()->findChildren<QLabel*>();
    for (const QLabel* label : labels) {
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
    }
}

} // namespace

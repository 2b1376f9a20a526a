// The password dialog and the product pass it guards.
#include "modal.h"
#include "password_dlg.h"
#include "qstring_print.h"

#include "karvel_main.h"

#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace karvel {
namespace {

using test::AnswerMessage;
using test::WhenModal;

enum class Close { Ok, Cancel, Enter, Escape };

struct PassCase {
    const char* admin;
    const char* typed;
    Close close;
    bool recorded;
};

class ProductPass : public ::testing::TestWithParam<PassCase> { };

TEST_P(ProductPass, RecordsTheCommandOnlyForTheExactPassword)
{
    const auto [admin, typed, close, recorded] = GetParam();
    TMain_Karvel terminal(5, "P", true);
    QString message;
    QPointer<QTimer> messageWait;
    QPointer<QTimer> dialogWait = WhenModal([&, close = close, typed = typed](QWidget* w) {
        auto* dialog = qobject_cast<TPasswordDlg*>(w);
        ASSERT_NE(dialog, nullptr);
        dialog->PasswordEdit()->insert(QString::fromUtf8(typed));
        if (!recorded)
            messageWait = AnswerMessage(&message, dialog);
        switch (close) {
        case Close::Ok:
            dialog->OkButton()->click();
            break;
        case Close::Cancel:
            dialog->CancelButton()->click();
            break;
        case Close::Enter:
            QTest::keyClick(dialog->PasswordEdit(), Qt::Key_Return);
            break;
        case Close::Escape:
            QTest::keyClick(dialog->PasswordEdit(), Qt::Key_Escape);
            break;
        }
    });
    EXPECT_EQ(N2Click(nullptr, QString::fromUtf8(admin), &terminal), recorded);
    EXPECT_EQ(terminal.subStatus, recorded ? 14 : 0);
    EXPECT_EQ(message, recorded ? QString() : kWrongPasswordText);
    // A dialog or message that never came leaves nothing waiting for the next case.
    delete dialogWait.data();
    delete messageWait.data();
}

INSTANTIATE_TEST_SUITE_P(Entries, ProductPass,
                         ::testing::Values(PassCase {"90876590876590876", "90876590876590876",
                                                     Close::Ok, true},
                                           PassCase {"Пароль", "Пароль", Close::Enter, true},
                                           PassCase {"", "", Close::Ok, true},
                                           PassCase {"Secret", "secret", Close::Ok, false},
                                           PassCase {"Пароль", "пароль", Close::Ok, false},
                                           PassCase {"Secret", "Secret ", Close::Ok, false},
                                           PassCase {"Secret", "", Close::Enter, false},
                                           PassCase {"Secret", "Secret", Close::Cancel, false},
                                           PassCase {"Secret", "Secret", Close::Escape, false},
                                           PassCase {"", "", Close::Cancel, false}));

TEST(ProductPass, NoSelectedTerminalAsksNothing)
{
    bool asked = false;
    QPointer<QTimer> waiting = WhenModal([&](QWidget* w) {
        asked = true;
        w->close();
    });
    EXPECT_FALSE(N2Click(nullptr, "x", nullptr));
    QTest::qWait(50);
    EXPECT_FALSE(asked);
    delete waiting.data();
}

// The dialog comes up in the middle of the screen, wherever the window that asks is.
TEST(PasswordDlg, OpensCentredOnTheScreenNotOverItsParent)
{
    QWidget owner;
    owner.setGeometry(0, 0, 300, 200); // a line window in the top left corner
    owner.show();
    QRect shown;
    QRect screen;
    QPointer<QTimer> messageWait;
    QPointer<QTimer> waiting = WhenModal([&](QWidget* w) {
        shown = w->geometry();
        screen = w->screen()->availableGeometry();
        messageWait = AnswerMessage(nullptr, w); // the wrong-password message after it
        w->close();
    });
    EXPECT_FALSE(AskProductPass(&owner, QStringLiteral("x")));
    ASSERT_FALSE(shown.isNull());
    // Within the window frame's few pixels of the centre.
    EXPECT_LE((shown.center() - screen.center()).manhattanLength(), 8)
        << "dialog at " << shown.x() << "," << shown.y() << ", screen centre "
        << screen.center().x() << "," << screen.center().y();
    delete waiting.data();
    delete messageWait.data();
}

TEST(PasswordDlg, ShowsOneStarPerCharacterAndGivesTheTextAsTyped)
{
    TPasswordDlg dialog;
    QTest::keyClicks(dialog.PasswordEdit(), QStringLiteral("a1 x"));
    dialog.PasswordEdit()->insert(QStringLiteral("Б"));
    EXPECT_EQ(dialog.PasswordEdit()->displayText(), QStringLiteral("*****"));
    EXPECT_EQ(dialog.GetPassword(), QStringLiteral("a1 xБ"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Введите парль"));
    EXPECT_EQ(TPasswordDlg::CryptPsw(TPasswordDlg::CryptPsw(QStringLiteral("Пароль"))),
              QStringLiteral("Пароль"));
}

} // namespace
} // namespace karvel

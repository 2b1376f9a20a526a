#include "password_dlg.h"

#include "crypt_psw.h"
#include "karvel_main.h"
#include "show_message.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <memory>

namespace karvel {

TPasswordDlg::TPasswordDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Введите парль"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(233, 93);

    auto* label = new QLabel(QStringLiteral("Пароль:"), this);
    label->setObjectName(QStringLiteral("Label1"));
    label->move(8, 9);

    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("Password"));
    password_->setGeometry(8, 27, 217, 21);
    password_->setEchoMode(QLineEdit::Password);
    // One "*" per character typed, whatever the style's own mask character is.
    password_->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    label->setBuddy(password_);

    okBtn_ = new QPushButton(QStringLiteral("OK"), this);
    okBtn_->setObjectName(QStringLiteral("OKBtn"));
    okBtn_->setGeometry(70, 59, 75, 25);
    okBtn_->setDefault(true);
    connect(okBtn_, &QPushButton::clicked, this, &QDialog::accept);

    cancelBtn_ = new QPushButton(QStringLiteral("Отмена"), this);
    cancelBtn_->setObjectName(QStringLiteral("CancelBtn"));
    cancelBtn_->setGeometry(150, 59, 75, 25);
    cancelBtn_->setAutoDefault(false);
    connect(cancelBtn_, &QPushButton::clicked, this, &QDialog::reject);

    // In the middle of the screen, not over the line window that asks: a position of our
    // own keeps the dialog from being placed over its parent when it is shown.
    if (const QScreen* where = screen())
        move(where->availableGeometry().center() - rect().center());
}

QString TPasswordDlg::GetPassword() const
{
    return password_->text();
}

QString TPasswordDlg::CryptPsw(const QString& oper_psw)
{
    return karvel::CryptPsw(oper_psw);
}

bool PasswordMatches(const QString& entered, const QString& adminPassword)
{
    return entered.compare(adminPassword, Qt::CaseSensitive) == 0;
}

bool AskProductPass(QWidget* parent, const QString& adminPassword)
{
    // Created for this one use and freed when its text has been read.
    auto dialog = std::make_unique<TPasswordDlg>(parent);
    const bool confirmed = dialog->exec() == QDialog::Accepted;
    const bool matches = confirmed && PasswordMatches(dialog->GetPassword(), adminPassword);
    dialog.reset();
    if (!matches)
        ShowMessage(parent, kWrongPasswordText);
    return matches;
}

bool N2Click(QWidget* parent, const QString& adminPassword, TMain_Karvel* selected)
{
    if (!selected)
        return false;
    if (!AskProductPass(parent, adminPassword))
        return false;
    selected->Command_Prohod();
    return true;
}

} // namespace karvel

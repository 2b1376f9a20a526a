#pragma once
// The password entry dialog and the product pass it guards.

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

namespace karvel {

class TMain_Karvel;

class TPasswordDlg : public QDialog {
    Q_OBJECT
public:
    explicit TPasswordDlg(QWidget* parent = nullptr);

    // The text as typed; the dialog checks nothing.
    QString GetPassword() const;
    // The scrambling routine, identical to the main window's.
    static QString CryptPsw(const QString& oper_psw);

    QLineEdit* PasswordEdit() const { return password_; }
    QPushButton* OkButton() const { return okBtn_; }
    QPushButton* CancelButton() const { return cancelBtn_; }

private:
    QLineEdit* password_ = nullptr;
    QPushButton* okBtn_ = nullptr;
    QPushButton* cancelBtn_ = nullptr;
};

inline const QString kWrongPasswordText = QStringLiteral("Ошибка :Введите верынй пароль!");

// Exact comparison: same length, same code units, letter case counts.
bool PasswordMatches(const QString& entered, const QString& adminPassword);

// Asks for the password in a new dialog owned by `parent`. True when it closed with OK
// and the text equals `adminPassword`; otherwise shows the error message and gives false.
bool AskProductPass(QWidget* parent, const QString& adminPassword);

// The product pass of a line window: with a terminal selected, asks for the password and
// records Command_Prohod on it only when the password is right. True when recorded.
bool N2Click(QWidget* parent, const QString& adminPassword, TMain_Karvel* selected);

} // namespace karvel

#include "main_window.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

namespace karvel::server {

TForm1::TForm1(QWidget* parent)
    : QWidget(parent,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                  Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      GroupBox1(new QGroupBox(this)), Memo1(new QPlainTextEdit(GroupBox1)),
      BitBtn1(new QPushButton(QStringLiteral("Очистить"), GroupBox1))
{
    setWindowTitle(QStringLiteral("Тестовая программа для ПО \"Karvel_net\", Tolvik ZA_riz"));
    setFixedSize(681, 457);
    move(192, 107);

    GroupBox1->setGeometry(0, 0, 681, 457);
    Memo1->setGeometry(8, 16, 665, 385);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    BitBtn1->setGeometry(256, 408, 153, 33);

    connect(BitBtn1, &QPushButton::clicked, this, &TForm1::BitBtn1Click);
}

void TForm1::appendLine(const QString& text)
{
    Memo1->appendPlainText(text);
    emit lineAppended(text);
}

QString TForm1::memoText() const
{
    return Memo1->toPlainText();
}

void TForm1::BitBtn1Click()
{
    Memo1->clear();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (closeGuard_ && !closeGuard_()) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace karvel::server

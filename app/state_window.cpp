#include "state_window.h"

#include "state_lists.h"

#include <QScreen>
#include <QTextEdit>
#include <QVBoxLayout>

namespace karvel {

TLogFrm::TLogFrm(QWidget* parent) : QWidget(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("LogFrm"));
    setWindowTitle(kCaption);

    RichEdit1 = new QTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setReadOnly(true);
    RichEdit1->setLineWrapMode(QTextEdit::NoWrap);
    QFont font(QStringLiteral("Tahoma"), 8);
    font.setStyleHint(QFont::SansSerif);
    RichEdit1->setFont(font);
    QPalette palette = RichEdit1->palette();
    palette.setColor(QPalette::Text, Qt::red);
    RichEdit1->setPalette(palette);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(RichEdit1);

    resize(kClientWidth, kClientHeight);
    if (const QScreen* where = screen())
        move(where->availableGeometry().center() - rect().center());
}

void TLogFrm::ShowData(const QStringList& lines)
{
    RichEdit1->setPlainText(lines.join(QLatin1Char('\n')));
}

void TLogFrm::ShowData(const TStateLists& lists)
{
    ShowData(lists.ShowData());
}

void TLogFrm::ShowState(const QStringList& lines)
{
    ShowData(lines);
    show();
    raise();
    activateWindow();
}

QString TLogFrm::Text() const
{
    return RichEdit1->toPlainText();
}

} // namespace karvel

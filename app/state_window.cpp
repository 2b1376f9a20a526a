#include "state_window.h"

#include "state_lists.h"

#include <QDateTime>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTextEdit>
#include <QTimeZone>
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

    AsideBox = new QGroupBox(QStringLiteral("Изменения, отклоненные сервером учета"), this);
    AsideBox->setObjectName(QStringLiteral("AsideBox"));
    AsideGrid = new QTableWidget(0, 8, AsideBox);
    AsideGrid->setObjectName(QStringLiteral("AsideGrid"));
    AsideGrid->setHorizontalHeaderLabels({QStringLiteral("Время"), QStringLiteral("Линия"),
                                          QStringLiteral("Весы"), QStringLiteral("Продукт"),
                                          QStringLiteral("C"), QStringLiteral("d"),
                                          QStringLiteral("Попыток"), QStringLiteral("Ошибка")});
    AsideGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    AsideGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    AsideGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    AsideGrid->verticalHeader()->hide();
    AsideGrid->horizontalHeader()->setStretchLastSection(true);
    SendAgainBtn = new QPushButton(QStringLiteral("Отправить снова"), AsideBox);
    SendAgainBtn->setObjectName(QStringLiteral("SendAgainBtn"));
    DiscardBtn = new QPushButton(QStringLiteral("Отбросить"), AsideBox);
    DiscardBtn->setObjectName(QStringLiteral("DiscardBtn"));
    DiscardBtn->setToolTip(QStringLiteral("Нужен пароль администратора; изменение остается в "
                                          "журнале учета с пометкой \"отброшено\""));
    connect(SendAgainBtn, &QPushButton::clicked, this, [this] {
        if (const int64_t seq = SelectedSetAside(); seq != 0 && OnSendAgain)
            OnSendAgain(seq);
    });
    connect(DiscardBtn, &QPushButton::clicked, this, [this] {
        if (const int64_t seq = SelectedSetAside(); seq != 0 && OnDiscard)
            OnDiscard(seq);
    });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(SendAgainBtn);
    buttons->addWidget(DiscardBtn);
    auto* asideLayout = new QVBoxLayout(AsideBox);
    asideLayout->addWidget(AsideGrid);
    asideLayout->addLayout(buttons);
    AsideBox->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(RichEdit1);
    layout->addWidget(AsideBox);

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

void TLogFrm::ShowSetAside(const std::vector<TLedgerDelivery>& changes)
{
    AsideGrid->setRowCount(static_cast<int>(changes.size()));
    int row = 0;
    for (const TLedgerDelivery& d : changes) {
        const TLedgerChange& c = d.change;
        const QDateTime booked =
            QDateTime::fromMSecsSinceEpoch(c.bookedAtMs, QTimeZone(c.utcOffsetS));
        const QStringList cells {
            QLocale::system().toString(booked, QLocale::ShortFormat),
            QString::number(c.line),
            QString::number(c.netNum),
            QString::fromStdString(c.product),
            QString::number(c.countC, 'f', 2),
            QString::number(c.countD, 'f', 2),
            QString::number(d.attempts),
            QString::fromStdString(d.lastError),
        };
        for (int column = 0; column < cells.size(); ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            item->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(c.seq));
            item->setToolTip(QString::fromStdString(c.changeId));
            AsideGrid->setItem(row, column, item);
        }
        ++row;
    }
    if (!changes.empty() && AsideGrid->currentRow() < 0)
        AsideGrid->selectRow(0);
    AsideBox->setVisible(!changes.empty());
}

int64_t TLogFrm::SelectedSetAside() const
{
    const QTableWidgetItem* item = AsideGrid->item(AsideGrid->currentRow(), 0);
    return item ? item->data(Qt::UserRole).toLongLong() : 0;
}

bool TLogFrm::SetAsideShown() const
{
    return !AsideBox->isHidden();
}

QString TLogFrm::Text() const
{
    return RichEdit1->toPlainText();
}

} // namespace karvel

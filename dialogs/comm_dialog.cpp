#include "comm_dialog.h"

#include "com_port.h"
#include "serial_line.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>

namespace karvel {

namespace {

QComboBox* Combo(const QStringList& entries, int current, QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    combo->addItems(entries);
    combo->setCurrentIndex(current);
    return combo;
}

QStringList BaudRates()
{
    QStringList rates;
    for (int i = 0; i < kBaudRateCount; ++i)
        rates << QString::number(BaudRateValue(static_cast<TBaudRate>(i)));
    return rates;
}

} // namespace

TCommConfigDlg::TCommConfigDlg(const QString& portName, const TComProp& prop, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Свойства: %1").arg(portName));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    baud_ = Combo(BaudRates(), static_cast<int>(prop.BaudRate()), this);
    bytes_ = Combo({"5", "6", "7", "8", "9"}, static_cast<int>(prop.ByteSize()), this);
    parity_ = Combo({QStringLiteral("Нет"), QStringLiteral("Нечет"), QStringLiteral("Чет"),
                     QStringLiteral("Маркер"), QStringLiteral("Пробел")},
                    static_cast<int>(prop.Parity()), this);
    stop_ = Combo({"1", "1.5", "2"}, static_cast<int>(prop.Stopbits()), this);

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Бит в секунду:"), baud_);
    form->addRow(QStringLiteral("Биты данных:"), bytes_);
    form->addRow(QStringLiteral("Четность:"), parity_);
    form->addRow(QStringLiteral("Стоповые биты:"), stop_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    form->setSizeConstraint(QLayout::SetFixedSize);
}

TComProp TCommConfigDlg::Result() const
{
    TComProp prop;
    prop.SetBaudRate(static_cast<TBaudRate>(baud_->currentIndex()));
    prop.SetByteSize(static_cast<TByteSize>(bytes_->currentIndex()));
    prop.SetParity(static_cast<TParity>(parity_->currentIndex()));
    prop.SetStopbits(static_cast<TStopbits>(stop_->currentIndex()));
    return prop;
}

bool ApplyCommSettings(TComPort& port, const TComProp& prop)
{
    port.ComProp() = prop;
    if (!port.Connected())
        return true;
    return ApplyDcb(port.Handle(), prop.DCB());
}

bool CommDialog(QWidget* parent, TComPort& port)
{
    TCommConfigDlg dialog(port.GetComName(false), port.ComProp(), parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    ApplyCommSettings(port, dialog.Result());
    return true;
}

} // namespace karvel

#include "port_parametrs.h"

#include "com_port.h"
#include "config_store.h"
#include "mqtt_settings_dlg.h"
#include "show_message.h"
#include "step_error.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace karvel {

namespace {

constexpr int kComPorts = 9;

// COM1..COM9 always, so that an entry's position is its port number less one; a port
// whose device exists carries its description as a tooltip.
void FillPorts(QComboBox* combo, const QStringList& present)
{
    for (int n = 1; n <= kComPorts; ++n) {
        const QString name = QStringLiteral("COM%1").arg(n);
        combo->addItem(name);
        for (const QString& entry : present) {
            if (entry == name || entry.startsWith(name + QLatin1Char(' ')))
                combo->setItemData(n - 1, entry, Qt::ToolTipRole);
        }
    }
    combo->setCurrentIndex(-1);
}

} // namespace

QString SoundFileFilter()
{
    return QStringLiteral("MIDI (*.mid);;RMI (*.rmi);;WAV (*.wav)");
}

TPortParametrs::TPortParametrs(QString storePath, QWidget* parent)
    : QDialog(parent), storePath_(std::move(storePath))
{
    setWindowTitle(QStringLiteral("Коммуникационные параметры"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    ChooseSoundFile = [](QWidget* owner) {
        return QFileDialog::getOpenFileName(owner, QString(), QString(), SoundFileFilter());
    };
    ListDevices = [] { return PortDevices(SystemSerialPorts()); };

    saveBtn_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogSaveButton),
                               QStringLiteral("Сохранить"), this);
    saveBtn_->setObjectName(QStringLiteral("SaveBtn"));
    saveBtn_->setDefault(true);
    connect(saveBtn_, &QPushButton::clicked, this, &TPortParametrs::SaveBtnClick);
    cancelBtn_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                                 QStringLiteral("Отмена"), this);
    cancelBtn_->setObjectName(QStringLiteral("BitBtn2"));
    cancelBtn_->setAutoDefault(false);
    connect(cancelBtn_, &QPushButton::clicked, this, &QDialog::reject);

    mqttBtn_ = new QPushButton(QStringLiteral("MQTT..."), this);
    mqttBtn_->setObjectName(QStringLiteral("MqttBtn"));
    mqttBtn_->setAutoDefault(false);
    connect(mqttBtn_, &QPushButton::clicked, this, &TPortParametrs::MqttBtnClick);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(mqttBtn_);
    buttons->addStretch(1);
    buttons->addWidget(saveBtn_);
    buttons->addWidget(cancelBtn_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildLines());
    layout->addWidget(BuildDevices());
    layout->addWidget(BuildOptions());
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QWidget* TPortParametrs::BuildLines()
{
    QStringList present;
    TComPort::EnumComPortsEx(present);
    auto* lines = new QWidget(this);
    auto* row = new QHBoxLayout(lines);
    row->setContentsMargins(0, 0, 0, 0);
    for (int line = 1; line <= 4; ++line) {
        auto* box = new QGroupBox(QStringLiteral("Линия %1").arg(line), lines);
        auto* column = new QVBoxLayout(box);
        auto* port = new QComboBox(box);
        port->setObjectName(QStringLiteral("PortL%1").arg(line));
        FillPorts(port, present);
        auto* speed = new QComboBox(box);
        speed->setObjectName(QStringLiteral("SpeedL%1").arg(line));
        speed->addItems({QStringLiteral("9600 бод"), QStringLiteral("19200 бод")});
        speed->setCurrentIndex(-1);
        column->addWidget(new QLabel(QStringLiteral("Порт"), box));
        column->addWidget(port);
        auto* rs485 = new QCheckBox(QStringLiteral("Режим RS-485"), box);
        rs485->setObjectName(QStringLiteral("RS485L%1").arg(line));
        rs485->setToolTip(QStringLiteral("Направление линии переключает драйвер порта: RTS "
                                         "поднят на время передачи.\nДля адаптеров и портов "
                                         "без автоматического переключения."));
        column->addWidget(new QLabel(QStringLiteral("Скорость"), box));
        column->addWidget(speed);
        column->addWidget(rs485);
        row->addWidget(box);
        portL_[static_cast<size_t>(line - 1)] = port;
        speedL_[static_cast<size_t>(line - 1)] = speed;
        rs485L_[static_cast<size_t>(line - 1)] = rs485;
    }
    return lines;
}

QWidget* TPortParametrs::BuildOptions()
{
    auto* box = new QGroupBox(this);
    checkBox1_ = new QCheckBox(QStringLiteral("Звуковой сигнал при остановке весов"), box);
    checkBox1_->setObjectName(QStringLiteral("CheckBox1"));
    radio1_ = new QRadioButton(QStringLiteral("Beeper"), box);
    radio1_->setObjectName(QStringLiteral("RadioButton1"));
    radio2_ = new QRadioButton(QStringLiteral("Звуковая  карта --------->"), box);
    radio2_->setObjectName(QStringLiteral("RadioButton2"));
    edit1_ = new QLineEdit(box);
    edit1_->setObjectName(QStringLiteral("Edit1"));
    edit1_->setMinimumWidth(220);
    button1_ = new QPushButton(QStringLiteral("***"), box);
    button1_->setObjectName(QStringLiteral("Button1"));
    button1_->setFixedWidth(32);
    checkBox2_ = new QCheckBox(QStringLiteral("Вести лог работы весов"), box);
    checkBox2_->setObjectName(QStringLiteral("CheckBox2"));

    // Both tick boxes run the same enabling rule.
    connect(checkBox1_, &QCheckBox::clicked, this, &TPortParametrs::CheckBox1Click);
    connect(checkBox2_, &QCheckBox::clicked, this, &TPortParametrs::CheckBox1Click);
    connect(button1_, &QPushButton::clicked, this, &TPortParametrs::Button1Click);

    auto* grid = new QGridLayout(box);
    grid->addWidget(checkBox1_, 0, 0, 1, 3);
    grid->addWidget(radio1_, 1, 0, 1, 3);
    grid->addWidget(radio2_, 2, 0);
    grid->addWidget(edit1_, 2, 1);
    grid->addWidget(button1_, 2, 2);
    grid->addWidget(checkBox2_, 3, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    return box;
}

QWidget* TPortParametrs::BuildDevices()
{
    auto* box = new QGroupBox(QStringLiteral("Устройства портов"), this);
    linkPort_ = new QComboBox(box);
    linkPort_->setObjectName(QStringLiteral("LinkPort"));
    linkDevice_ = new QComboBox(box);
    linkDevice_->setObjectName(QStringLiteral("LinkDevice"));
    // Device names are long: the boxes keep a readable width, their lists and tooltips
    // show the names whole.
    linkPort_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    linkPort_->setMinimumContentsLength(22);
    linkDevice_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    linkDevice_->setMinimumContentsLength(34);
    linkBtn_ = new QPushButton(QStringLiteral("Связать"), box);
    linkBtn_->setObjectName(QStringLiteral("LinkBtn"));
    linkBtn_->setAutoDefault(false);
    auto* refresh = new QPushButton(QStringLiteral("Обновить"), box);
    refresh->setObjectName(QStringLiteral("RefreshBtn"));
    refresh->setAutoDefault(false);
    linkState_ = new QLabel(box);
    linkState_->setObjectName(QStringLiteral("LinkState"));
    linkState_->setWordWrap(true);
    linkState_->hide(); // until a link is written
    connect(linkBtn_, &QPushButton::clicked, this, &TPortParametrs::LinkBtnClick);
    connect(refresh, &QPushButton::clicked, this, &TPortParametrs::RefreshDevices);

    auto* grid = new QGridLayout(box);
    grid->addWidget(new QLabel(QStringLiteral("Порт"), box), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Устройство"), box), 0, 1);
    grid->addWidget(linkPort_, 1, 0);
    grid->addWidget(linkDevice_, 1, 1);
    grid->addWidget(linkBtn_, 1, 2);
    grid->addWidget(refresh, 1, 3);
    grid->addWidget(linkState_, 2, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    ShowLinkTargets();
    return box;
}

// Each port number with the device it stands for now.
void TPortParametrs::ShowLinkTargets()
{
    const int chosen = std::max(linkPort_->currentIndex(), 0);
    linkPort_->clear();
    for (int n = 1; n <= kComPorts; ++n)
        linkPort_->addItem(QStringLiteral("COM%1 → %2").arg(n).arg(PortDeviceText(n)), n);
    linkPort_->setCurrentIndex(chosen);
    linkPort_->setToolTip(linkPort_->currentText());
}

void TPortParametrs::RefreshDevices()
{
    linkDevice_->clear();
    linkDevice_->addItem(QStringLiteral("встроенный порт (без ссылки)"), QString());
    for (const TPortDevice& device : ListDevices ? ListDevices() : QList<TPortDevice> {}) {
        linkDevice_->addItem(device.label, device.linkTarget);
        linkDevice_->setItemData(linkDevice_->count() - 1, device.label, Qt::ToolTipRole);
    }
    linkDevice_->setCurrentIndex(linkDevice_->count() > 1 ? 1 : 0);
    ShowLinkTargets();
}

void TPortParametrs::LinkBtnClick()
{
    const int number = linkPort_->currentData().toInt();
    const QString target = linkDevice_->currentData().toString();
    QString error;
    if (!WritePortLink(number, target, error)) {
        ShowMessage(this, error);
        return;
    }
    ShowLinkTargets();
    linkState_->show();
    linkState_->setText(QStringLiteral("COM%1 → %2. Линии возьмут устройство при следующем запуске "
                                       "(после «Сохранить»).")
                            .arg(number)
                            .arg(PortDeviceText(number)));
}

bool TPortParametrs::ShowData()
{
    try {
        const TConfigStore store(storePath_);
        if (const auto values = ReadPortParam(store))
            Show(*values);
        RefreshDevices();
        return true;
    } catch (const TStepError& error) {
        ShowMessage(this, error.text());
        return false;
    }
}

void TPortParametrs::Show(const TPortParamValues& values)
{
    for (size_t i = 0; i < 4; ++i) {
        // A stored position outside the list chooses no entry.
        portL_[i]->setCurrentIndex(values.port[i] < portL_[i]->count() ? values.port[i] : -1);
        speedL_[i]->setCurrentIndex(values.speed[i] < speedL_[i]->count() ? values.speed[i] : -1);
        rs485L_[i]->setChecked(values.rs485[i]);
    }
    checkBox1_->setChecked(values.soundStop);
    checkBox2_->setChecked(values.logWr);
    (values.soundMode ? radio1_ : radio2_)->setChecked(true);
    edit1_->setText(values.soundFileName);
    if (!checkBox1_->isChecked()) {
        radio1_->setEnabled(false);
        radio2_->setEnabled(false);
        edit1_->setEnabled(false);
    }
}

void TPortParametrs::CheckBox1Click()
{
    const bool on = checkBox1_->isChecked();
    radio1_->setEnabled(on);
    radio2_->setEnabled(on);
    edit1_->setEnabled(on);
}

void TPortParametrs::Button1Click()
{
    const QString file = ChooseSoundFile ? ChooseSoundFile(this) : QString();
    if (!file.isEmpty())
        edit1_->setText(file);
}

TPortParamValues TPortParametrs::FromControls() const
{
    TPortParamValues values;
    for (size_t i = 0; i < 4; ++i) {
        values.port[i] = portL_[i]->currentIndex();
        values.speed[i] = speedL_[i]->currentIndex();
        values.rs485[i] = rs485L_[i]->isChecked();
    }
    values.soundStop = checkBox1_->isChecked();
    values.logWr = checkBox2_->isChecked();
    values.soundMode = radio1_->isChecked();
    values.soundFileName = edit1_->text();
    return values;
}

void TPortParametrs::SaveBtnClick()
{
    try {
        TConfigStore store(storePath_);
        WritePortParam(store, FromControls());
    } catch (const TStepError& error) {
        // Nothing reliable was stored: the dialog stays open rather than report success.
        ShowMessage(this, error.text());
        return;
    }
    accept();
}

bool TPortParametrs::Run()
{
    if (!ShowData())
        return false;
    return exec() == QDialog::Accepted;
}

// The MQTT settings are saved by their own window and take effect at once: "Отмена" here
// does not take them back.
void TPortParametrs::MqttBtnClick()
{
    TMqttSettingsDlg dialog(storePath_, this);
    dialog.StatusText = MqttStatus;
    if (dialog.Run() && MqttSaved)
        MqttSaved();
}

} // namespace karvel

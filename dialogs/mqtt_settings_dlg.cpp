#include "mqtt_settings_dlg.h"

#include "config_store.h"
#include "show_message.h"
#include "step_error.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>

namespace karvel {

TMqttSettingsDlg::TMqttSettingsDlg(QString storePath, QWidget* parent)
    : QDialog(parent), storePath_(std::move(storePath))
{
    setWindowTitle(QStringLiteral("Передача данных по MQTT"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    ChooseCaFile = [](QWidget* owner) {
        return QFileDialog::getOpenFileName(owner, QString(), QString(),
                                            QStringLiteral("Сертификаты (*.crt *.pem);;Все (*)"));
    };

    enabled_ = new QCheckBox(QStringLiteral("Передавать учет и значения весов брокеру MQTT"), this);
    host_ = new QLineEdit(this);
    port_ = new QSpinBox(this);
    port_->setRange(1, 65535);
    tls_ = new QCheckBox(QStringLiteral("Шифрование TLS"), this);
    caFile_ = new QLineEdit(this);
    caBtn_ = new QPushButton(QStringLiteral("***"), this);
    caBtn_->setAutoDefault(false);
    connect(caBtn_, &QPushButton::clicked, this, [this] {
        const QString file = ChooseCaFile ? ChooseCaFile(this) : QString();
        if (!file.isEmpty())
            caFile_->setText(file);
    });
    user_ = new QLineEdit(this);
    password_ = new QLineEdit(this);
    password_->setEchoMode(QLineEdit::Password);
    prefix_ = new QLineEdit(this);
    status_ = new QLabel(this);
    status_->setWordWrap(true);
    status_->setMinimumWidth(360);
    connect(enabled_, &QCheckBox::toggled, this, &TMqttSettingsDlg::UpdateEnabled);
    connect(tls_, &QCheckBox::toggled, this, &TMqttSettingsDlg::UpdateEnabled);

    auto* ca = new QHBoxLayout;
    ca->addWidget(caFile_, 1);
    ca->addWidget(caBtn_);
    auto* form = new QFormLayout;
    form->addRow(enabled_);
    form->addRow(QStringLiteral("Брокер:"), host_);
    form->addRow(QStringLiteral("Порт:"), port_);
    form->addRow(tls_);
    form->addRow(QStringLiteral("Сертификат ЦС:"), ca);
    form->addRow(QStringLiteral("Пользователь:"), user_);
    form->addRow(QStringLiteral("Пароль:"), password_);
    form->addRow(QStringLiteral("Префикс тем:"), prefix_);
    form->addRow(QStringLiteral("Состояние:"), status_);

    saveBtn_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogSaveButton),
                               QStringLiteral("Сохранить"), this);
    saveBtn_->setDefault(true);
    connect(saveBtn_, &QPushButton::clicked, this, &TMqttSettingsDlg::SaveBtnClick);
    auto* cancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                                   QStringLiteral("Отмена"), this);
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(saveBtn_);
    buttons->addWidget(cancel);
    form->addRow(buttons);
    setLayout(form);
    Show(TMqttSettings {});
}

void TMqttSettingsDlg::Show(const TMqttSettings& s)
{
    enabled_->setChecked(s.enabled);
    host_->setText(s.host);
    port_->setValue(s.port);
    tls_->setChecked(s.tls);
    caFile_->setText(s.caFile);
    user_->setText(s.user);
    password_->setText(s.password);
    prefix_->setText(s.topicPrefix);
    UpdateEnabled();
}

TMqttSettings TMqttSettingsDlg::FromControls() const
{
    TMqttSettings s;
    s.enabled = enabled_->isChecked();
    s.host = host_->text().trimmed();
    s.port = port_->value();
    s.tls = tls_->isChecked();
    s.caFile = caFile_->text().trimmed();
    s.user = user_->text();
    s.password = password_->text();
    s.topicPrefix = prefix_->text().trimmed();
    return s;
}

void TMqttSettingsDlg::UpdateEnabled()
{
    const bool on = enabled_->isChecked();
    for (QWidget* w :
         std::initializer_list<QWidget*> {host_, port_, tls_, user_, password_, prefix_})
        w->setEnabled(on);
    caFile_->setEnabled(on && tls_->isChecked());
    caBtn_->setEnabled(on && tls_->isChecked());
}

bool TMqttSettingsDlg::ShowData()
{
    try {
        TConfigStore store(storePath_);
        Show(LoadMqttSettings(store));
    } catch (const TStepError& error) {
        ShowMessage(this, error.text());
        return false;
    }
    status_->setText(StatusText ? StatusText() : QString());
    return true;
}

bool TMqttSettingsDlg::Run()
{
    return ShowData() && exec() == QDialog::Accepted;
}

void TMqttSettingsDlg::SaveBtnClick()
{
    const TMqttSettings s = FromControls();
    // Settings that are off need not work yet; they are kept as typed.
    if (s.enabled) {
        if (const auto error = CheckMqttSettings(s)) {
            ShowMessage(this, *error);
            return;
        }
    }
    try {
        TConfigStore store(storePath_);
        SaveMqttSettings(store, s);
    } catch (const TStepError& error) {
        ShowMessage(this, error.text());
        return;
    }
    accept();
}

} // namespace karvel

#pragma once
// The MQTT settings window, opened from the communication parameters window: broker
// address, TLS, user and password, topic prefix, on/off, and the link's present state.
// "Сохранить" checks and stores the settings (Control\Mqtt) and closes with OK, after
// which the main window restarts the MQTT side; "Отмена" stores nothing.

#include "mqtt_settings.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace karvel {

class TMqttSettingsDlg : public QDialog {
    Q_OBJECT
public:
    explicit TMqttSettingsDlg(QString storePath, QWidget* parent = nullptr);

    // Fills the controls from the store. False, after the message box, when a stored value
    // cannot be read.
    bool ShowData();
    // ShowData, then the modal window: true when the settings were saved.
    bool Run();
    void SaveBtnClick();

    TMqttSettings FromControls() const;
    void Show(const TMqttSettings& settings);

    // The link's present state, shown under the settings; replaceable for tests.
    std::function<QString()> StatusText;
    std::function<QString(QWidget* parent)> ChooseCaFile;

    QCheckBox* Enabled() const { return enabled_; }
    QLineEdit* Host() const { return host_; }
    QSpinBox* Port() const { return port_; }
    QCheckBox* Tls() const { return tls_; }
    QLineEdit* CaFile() const { return caFile_; }
    QLineEdit* User() const { return user_; }
    QLineEdit* Password() const { return password_; }
    QLineEdit* Prefix() const { return prefix_; }
    QLabel* Status() const { return status_; }
    QPushButton* SaveButton() const { return saveBtn_; }

private:
    void UpdateEnabled();

    QString storePath_;
    QCheckBox* enabled_ = nullptr;
    QLineEdit* host_ = nullptr;
    QSpinBox* port_ = nullptr;
    QCheckBox* tls_ = nullptr;
    QLineEdit* caFile_ = nullptr;
    QPushButton* caBtn_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* prefix_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* saveBtn_ = nullptr;
};

} // namespace karvel

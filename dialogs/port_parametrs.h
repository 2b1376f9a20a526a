#pragma once
// The communication parameters window: port, speed and RS-485 mode of each line, the
// alarm options and the work log option. "Сохранить" writes them all and closes with OK,
// after which the main window reloads; "Отмена" closes with Cancel. Below the lines the
// operator links a port number to one of the serial devices present ("Связать" writes the
// link at once; the lines use it from their next start).

#include "port_links.h"
#include "port_param_store.h"

#include <QDialog>

#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace karvel {

class TPortParametrs : public QDialog {
    Q_OBJECT
public:
    explicit TPortParametrs(QString storePath, QWidget* parent = nullptr);

    // Fills the controls from the store when the key exists. False, after the message
    // box, when a stored value cannot be read: the dialog is then not to be shown.
    bool ShowData();
    // ShowData, then the modal dialog: true (OK) when the main window must reload.
    bool Run();

    void SaveBtnClick();
    void CheckBox1Click();
    void Button1Click();
    void LinkBtnClick();
    // Fills the device list again from the ports present.
    void RefreshDevices();

    // The serial ports present; replaceable so that tests offer their own.
    std::function<QList<TPortDevice>()> ListDevices;

    // The file choice dialog; returns the chosen path, empty when cancelled. Replaceable
    // so that tests choose without a file dialog.
    std::function<QString(QWidget* parent)> ChooseSoundFile;
    // The MQTT settings window's state line, and what follows its save (set by the main
    // window: the MQTT side restarts).
    std::function<QString()> MqttStatus;
    std::function<void()> MqttSaved;
    void MqttBtnClick();

    TPortParamValues FromControls() const;

    QComboBox* PortL(int line) const { return portL_.at(static_cast<size_t>(line - 1)); }
    QComboBox* SpeedL(int line) const { return speedL_.at(static_cast<size_t>(line - 1)); }
    QCheckBox* Rs485L(int line) const { return rs485L_.at(static_cast<size_t>(line - 1)); }
    QComboBox* LinkPort() const { return linkPort_; }
    QComboBox* LinkDevice() const { return linkDevice_; }
    QPushButton* LinkButton() const { return linkBtn_; }
    QLabel* LinkState() const { return linkState_; }
    QCheckBox* CheckBox1() const { return checkBox1_; }
    QCheckBox* CheckBox2() const { return checkBox2_; }
    QRadioButton* RadioButton1() const { return radio1_; }
    QRadioButton* RadioButton2() const { return radio2_; }
    QLineEdit* Edit1() const { return edit1_; }
    QPushButton* Button1() const { return button1_; }
    QPushButton* SaveButton() const { return saveBtn_; }
    QPushButton* CancelButton() const { return cancelBtn_; }
    QPushButton* MqttButton() const { return mqttBtn_; }

private:
    QWidget* BuildLines();
    QWidget* BuildOptions();
    QWidget* BuildDevices();
    void ShowLinkTargets();
    void Show(const TPortParamValues& values);

    QString storePath_;
    std::array<QComboBox*, 4> portL_ {};
    std::array<QComboBox*, 4> speedL_ {};
    std::array<QCheckBox*, 4> rs485L_ {};
    QComboBox* linkPort_ = nullptr;
    QComboBox* linkDevice_ = nullptr;
    QPushButton* linkBtn_ = nullptr;
    QLabel* linkState_ = nullptr;
    QCheckBox* checkBox1_ = nullptr;
    QCheckBox* checkBox2_ = nullptr;
    QRadioButton* radio1_ = nullptr;
    QRadioButton* radio2_ = nullptr;
    QLineEdit* edit1_ = nullptr;
    QPushButton* button1_ = nullptr;
    QPushButton* saveBtn_ = nullptr;
    QPushButton* cancelBtn_ = nullptr;
    QPushButton* mqttBtn_ = nullptr;
};

// The filter of the sound file choice: MIDI, RMI and WAV files.
QString SoundFileFilter();

} // namespace karvel

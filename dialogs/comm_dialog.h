#pragma once
// The port-configuration dialog of a serial port: speed, data bits, parity and stop bits,
// pre-filled from the port's settings.

#include "com_prop.h"

#include <QDialog>

class QComboBox;

namespace karvel {

class TComPort;

class TCommConfigDlg : public QDialog {
    Q_OBJECT
public:
    TCommConfigDlg(const QString& portName, const TComProp& prop, QWidget* parent = nullptr);

    TComProp Result() const;

    QComboBox* BaudRate() const { return baud_; }
    QComboBox* ByteSize() const { return bytes_; }
    QComboBox* Parity() const { return parity_; }
    QComboBox* StopBits() const { return stop_; }

private:
    QComboBox* baud_ = nullptr;
    QComboBox* bytes_ = nullptr;
    QComboBox* parity_ = nullptr;
    QComboBox* stop_ = nullptr;
};

// Shows the dialog for the port's short name; when the operator confirms, copies the
// settings into the port's ComProp and, when the port is open, applies them to the line
// at once. Returns whether the operator confirmed.
bool CommDialog(QWidget* parent, TComPort& port);

// What CommDialog does after a confirmation; false when the open line refused the
// settings (the port keeps them for its next open).
bool ApplyCommSettings(TComPort& port, const TComProp& prop);

} // namespace karvel

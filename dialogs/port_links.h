#pragma once
// The devices behind the port numbers, as the communication parameters window shows and
// sets them: each COMn is the user's link "dosdevices/comN" (or, without one, the on-board
// port /dev/ttyS<n-1>), and the serial ports present are offered under their stable
// /dev/serial/by-id names, which keep naming the same adapter when it is plugged in again.

#include <QList>
#include <QString>

namespace karvel {

// One serial port the system lists.
struct TSerialPortEntry {
    QString systemLocation; // /dev/ttyUSB0
    QString manufacturer;
    QString serialNumber;
    QString description;
};

// A device that can be linked to a port number.
struct TPortDevice {
    QString linkTarget; // what the link will point to: the by-id path when there is one
    QString label; // what the operator reads
};

// The serial ports Qt Serial Port lists on this machine.
QList<TSerialPortEntry> SystemSerialPorts();

// The ports of `ports`, each under the name in `byIdDir` that leads to it when there is
// one, with maker and serial number; then the names in `byIdDir` that no listed port
// matched. Sorted by label.
QList<TPortDevice> PortDevices(const QList<TSerialPortEntry>& ports,
                               const QString& byIdDir = QStringLiteral("/dev/serial/by-id"));

// What COMn stands for now: the link's target, or the on-board port when there is no link.
QString PortDeviceText(int number);

// Points COMn's link at `target` (replacing it in one step), or removes the link when
// `target` is empty so that COMn is the on-board port again. False with `error` set when
// the link could not be written.
bool WritePortLink(int number, const QString& target, QString& error);

} // namespace karvel

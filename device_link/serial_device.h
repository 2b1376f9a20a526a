#pragma once
// Serial device files behind the port numbers, exclusive opening and the port list.

#include <QStringList>

#include <string>

namespace karvel {

// COMn is the user's link "$XDG_CONFIG_HOME/Vistam/dosdevices/comN" when that link
// exists (even when its target is missing: a configured but unplugged adapter must not
// silently become another port), otherwise /dev/ttyS<n-1>. Empty for n < 1.
std::string ComDevicePath(int number);
// The user's link for COMn, whether it exists or not. Empty for n < 1.
std::string ComLinkPath(int number);
// Whether that link is there now (a dangling link counts: its target may come back).
bool ComLinkPresent(int number);

// Opens a tty for reading and writing without waiting for carrier, locked against every
// other opener (flock for processes that respect it, TIOCEXCL for the rest). -1 when the
// device is missing, is not a tty or is in use.
int OpenComDevice(const std::string& path);
// Lifts the exclusive mode (so the device can be opened again) and closes it.
void CloseComDevice(int fd);

// Every COMn (n = 1..256) whose device exists, as "COMn"; with `withDescription`, each
// followed by a blank and the name under `byIdDir` that leads to the same device, when
// there is one.
QStringList ListComPorts(bool withDescription, const std::string& byIdDir = "/dev/serial/by-id");

} // namespace karvel

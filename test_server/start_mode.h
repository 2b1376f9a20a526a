#pragma once

#include <QStringList>

namespace karvel::server {

// How the server executable was started.
enum class StartMode {
    User, // no switch: an installer started it by hand
    Automation, // "AUTOMATION" or "EMBEDDING": the session bus started it for a client
    RegServer, // "REGSERVER": write the bus activation file, then exit
    UnregServer, // "UNREGSERVER": remove the bus activation file, then exit
};

// Reads the start mode from the command line (argument 0 is the program and is skipped).
// A switch is introduced by "/" or "-" and compared without regard to case; anything
// else on the command line is ignored. Registration switches win over the bus switches,
// "REGSERVER" over "UNREGSERVER".
StartMode parseStartMode(const QStringList& arguments);

} // namespace karvel::server

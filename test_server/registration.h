#pragma once

#include <QProcessEnvironment>
#include <QString>

#include <optional>

namespace karvel::server {

// The program identifier the test server registers and owns on the session bus.
inline constexpr char kProgramIdentifier[] = "KarvelC.DataControlServ";

// The per-user directory the session bus reads activation files from:
// $XDG_DATA_HOME/dbus-1/services, $XDG_DATA_HOME defaulting to ~/.local/share.
QString sessionServiceDir(const QProcessEnvironment& env);

// "<dir>/<identifier>.service"
QString serviceFilePath(const QString& dir, const QString& identifier);

// The activation file: the bus starts `executable -Embedding` when a client asks for
// the name and nobody owns it.
QString serviceFileText(const QString& identifier, const QString& executable);

// Quotes one word for the Exec line the way the bus daemon splits it (shell rules).
QString quoteExecWord(const QString& word);

// Writes the activation file atomically, creating the directory. The reason when it
// cannot, nothing when it did.
std::optional<QString> writeServiceFile(const QString& dir, const QString& identifier,
                                        const QString& executable);

// Removes the activation file; a missing file is not an error.
std::optional<QString> removeServiceFile(const QString& dir, const QString& identifier);

} // namespace karvel::server

#pragma once
// The registry-export text registered as a QSettings format, so that QSettings does the
// caching, locking and atomic replace of the store file.

#include <QSettings>
#include <QString>

namespace karvel {

QSettings::Format RegFormat();

// Remembers the order in which values of the store file `file` were read or first
// written, so that a rewrite keeps the order of the file (and of the first writes), the
// way the registry editor lists values.
void NoteRegValueOrder(const QString& file, const QString& valuePath);

} // namespace karvel

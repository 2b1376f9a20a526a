#pragma once
// Writes that have reached the disk when they return: fsync of the file, and of its
// directory when a name was created, renamed or removed.

#include <QByteArray>
#include <QString>

namespace karvel {

bool DurableAppend(const QString& path, const QByteArray& bytes);
// Replaces the file atomically (write aside, sync, rename).
bool DurableReplace(const QString& path, const QByteArray& bytes);
bool DurableRemove(const QString& path);

} // namespace karvel

#pragma once
// Windows-1251, the 8-bit Cyrillic code page of the work log and the connection string
// file. Qt has no converter for it, so the table is our own.

#include <QByteArray>
#include <QString>

namespace karvel {

// Characters the code page cannot hold become '?'; narrow and ordinary no-break spaces
// that some locales put into time texts become the code page's no-break space.
QByteArray ToCp1251(const QString& text);
// Every byte has a meaning except 98h, which reads as U+FFFD.
QString FromCp1251(const QByteArray& bytes);

} // namespace karvel

#pragma once
// The date-time text of the work log: the locale's short date, a blank and its long time
// (hours, minutes, seconds, no zone); at exactly midnight only the date.

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace karvel {

QString DateTimeText(const QDateTime& when, const QLocale& locale = QLocale::system());

} // namespace karvel

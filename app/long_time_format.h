#pragma once
// The locale's long time format without its time-zone field: the work log and the test
// server's memo both write times the way the locale does, but never with a zone. Header
// only, so the test server shares it without linking anything of the main program.

#include <QLocale>
#include <QString>

namespace karvel {

inline QString LongTimeFormatWithoutZone(const QLocale& locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        out.append(c);
    }
    return out.trimmed();
}

} // namespace karvel

#include "date_time_text.h"

namespace karvel {

namespace {

// The locale's long time format names the time zone ("t"); the log never shows it.
QString LongTimeFormat(const QLocale& locale)
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

} // namespace

QString DateTimeText(const QDateTime& when, const QLocale& locale)
{
    const QString date = locale.toString(when.date(), QLocale::ShortFormat);
    if (when.time() == QTime(0, 0))
        return date;
    return date + u' ' + locale.toString(when.time(), LongTimeFormat(locale));
}

} // namespace karvel

#include "date_time_text.h"

#include "long_time_format.h"

namespace karvel {

QString DateTimeText(const QDateTime& when, const QLocale& locale)
{
    const QString date = locale.toString(when.date(), QLocale::ShortFormat);
    if (when.time() == QTime(0, 0))
        return date;
    return date + u' ' + locale.toString(when.time(), LongTimeFormatWithoutZone(locale));
}

} // namespace karvel

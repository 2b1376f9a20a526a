#include "memo_line.h"

#include "long_time_format.h"

namespace karvel::server {

// Unlike the work log's, the memo's time stays at midnight: every memo line has one.
QString dateTimeText(const QDateTime& when, const QLocale& locale)
{
    const QString timeFormat = LongTimeFormatWithoutZone(locale);
    return locale.toString(when.date(), QLocale::ShortFormat) + u' ' +
        locale.toString(when.time(), timeFormat);
}

QString memoLine(const CountCall& call, const QDateTime& when, const QLocale& locale)
{
    const QString point = locale.decimalPoint();
    return dateTimeText(when, locale) + QStringLiteral("  Линия ") + QString::number(call.line) +
        QStringLiteral("; Продукт: ") + call.product + QStringLiteral(" Сетевой номер:") +
        QString::number(call.netNum) + QStringLiteral(";  С:") + currencyText(call.countC, point) +
        QStringLiteral(";  D:") + currencyText(call.countD, point);
}

} // namespace karvel::server

#include "memo_line.h"

namespace karvel::server {
namespace {

// Drops the time-zone fields ("t") from a time format, leaving quoted text alone.
QString withoutTimeZone(const QString& format)
{
    QString result;
    bool quoted = false;
    for (QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        result += c;
    }
    return result.trimmed();
}

} // namespace

QString dateTimeText(const QDateTime& when, const QLocale& locale)
{
    const QString timeFormat = withoutTimeZone(locale.timeFormat(QLocale::LongFormat));
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

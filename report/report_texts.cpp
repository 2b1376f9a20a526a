#include "report_texts.h"

#include "fixed_text.h"

#include <QDateTime>

namespace karvel::report {

QString PeriodKindName(TPeriodKind kind)
{
    switch (kind) {
    case TPeriodKind::ThisShift:
        return QStringLiteral("Текущая смена");
    case TPeriodKind::LastShift:
        return QStringLiteral("Прошлая смена");
    case TPeriodKind::Today:
        return QStringLiteral("Сегодня");
    case TPeriodKind::Yesterday:
        return QStringLiteral("Вчера");
    case TPeriodKind::Range:
        return QStringLiteral("Период");
    }
    return {};
}

QString GroupingName(TGrouping grouping)
{
    switch (grouping) {
    case TGrouping::Line:
        return QStringLiteral("По линиям");
    case TGrouping::Terminal:
        return QStringLiteral("По весам");
    case TGrouping::Product:
        return QStringLiteral("По продуктам");
    }
    return {};
}

QString GroupingHeading(TGrouping grouping)
{
    switch (grouping) {
    case TGrouping::Line:
        return QStringLiteral("Линия");
    case TGrouping::Terminal:
        return QStringLiteral("Весы");
    case TGrouping::Product:
        return QStringLiteral("Продукт");
    }
    return {};
}

QString RowName(const TReportRow& row, TGrouping grouping)
{
    switch (grouping) {
    case TGrouping::Line:
        return QStringLiteral("Линия %1").arg(row.line);
    case TGrouping::Terminal:
        return QStringLiteral("Линия %1, весы %2").arg(row.line).arg(row.netNum);
    case TGrouping::Product:
        return QString::fromStdString(row.product);
    }
    return {};
}

QString SeriesName(const TChartSeries& series)
{
    return series.line > 0 ? QStringLiteral("Линия %1").arg(series.line)
                           : QString::fromStdString(series.product);
}

QString WeightText(double kg)
{
    QString text = QString::fromStdString(FixedText(kg, 3, kCounterPrecision));
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text == QStringLiteral("-0") ? QStringLiteral("0") : text;
}

QString PeriodText(const TReportPeriod& period, const QTimeZone& zone)
{
    const QString format = QStringLiteral("dd.MM.yyyy HH:mm");
    return QDateTime::fromMSecsSinceEpoch(period.fromMs, zone).toString(format) +
        QStringLiteral(" – ") + QDateTime::fromMSecsSinceEpoch(period.toMs, zone).toString(format);
}

} // namespace karvel::report

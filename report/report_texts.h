#pragma once
// The report's texts: names of periods and groupings, row and series names, weights and
// period bounds as the window and the chart show them.

#include "report_chart.h"
#include "report_period.h"
#include "report_query.h"

#include <QLocale>
#include <QString>
#include <QTimeZone>

namespace karvel::report {

QString PeriodKindName(TPeriodKind kind);
QString GroupingName(TGrouping grouping);
// The first column's heading: "Линия", "Весы" or "Продукт".
QString GroupingHeading(TGrouping grouping);
// "Линия 2", "Линия 2, весы 17" or the product's name.
QString RowName(const TReportRow& row, TGrouping grouping);
QString SeriesName(const TChartSeries& series);
// Weight in kg as the program writes numbers: '.' as the decimal separator, no grouping,
// at most three decimals, no trailing zeros ("1234.5").
QString WeightText(double kg);
// "10.12.2026 08:00 - 10.12.2026 20:00" in the zone's local time.
QString PeriodText(const TReportPeriod& period, const QTimeZone& zone);

} // namespace karvel::report

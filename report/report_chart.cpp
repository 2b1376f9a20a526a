#include "report_chart.h"

#include "report_scan.h"

namespace karvel::report {

std::optional<TChartData> QueryChart(TSqliteDb& db, const TReportPeriod& period, TGrouping grouping,
                                     const QTimeZone& zone)
{
    // The delivery states are not needed; no sink has the name "".
    auto both = QueryReportAndChart(db, period, grouping, std::string(), zone);
    if (!both)
        return std::nullopt;
    return std::move(both->chart);
}

} // namespace karvel::report

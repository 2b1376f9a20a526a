#include "report_query.h"

#include "report_scan.h"

namespace karvel::report {

std::optional<TReportTable> QueryReport(TSqliteDb& db, const TReportPeriod& period,
                                        TGrouping grouping, const std::string& sink)
{
    auto both = QueryReportAndChart(db, period, grouping, sink, QTimeZone::utc());
    if (!both)
        return std::nullopt;
    return std::move(both->table);
}

} // namespace karvel::report

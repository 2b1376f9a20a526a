#pragma once
// The table and the chart of a period from one pass over its changes. A year of a busy
// plant is millions of changes: they are read once, in time order, from the index that
// holds every column needed, and summed here; the delivery states come from the small
// delivery index.

#include "report_chart.h"
#include "report_query.h"

#include <optional>
#include <string>

namespace karvel {
class TSqliteDb;
}

namespace karvel::report {

struct TReportAndChart {
    TReportTable table;
    TChartData chart;
};

// The table counts the delivery states to `sink`; the chart has a series per line (by line
// or terminal) or per product. nullopt on a database error (db.LastError()).
std::optional<TReportAndChart> QueryReportAndChart(TSqliteDb& db, const TReportPeriod& period,
                                                   TGrouping grouping, const std::string& sink,
                                                   const QTimeZone& zone);

} // namespace karvel::report

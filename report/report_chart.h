#pragma once
// The chart's figures: the booked weight of each line or product in each hour (or local
// day) of a period.

#include "report_period.h"
#include "report_query.h"

#include <optional>
#include <string>
#include <vector>

namespace karvel {
class TSqliteDb;
}

namespace karvel::report {

struct TChartSeries {
    int line = 0; // series by line
    std::string product; // series by product
    std::vector<double> weights; // one per bucket
};

struct TChartData {
    TBucketSize bucketSize = TBucketSize::Hour;
    std::vector<int64_t> edges; // bucket i is [edges[i], edges[i+1])
    std::vector<TChartSeries> series; // line or product order
};

// A chart of lines for grouping by line or terminal, of products for grouping by product.
std::optional<TChartData> QueryChart(TSqliteDb& db, const TReportPeriod& period, TGrouping grouping,
                                     const QTimeZone& zone);

} // namespace karvel::report

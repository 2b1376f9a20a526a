#include "report_chart.h"

#include "group_index.h"
#include "sqlite_db.h"

#include <algorithm>

namespace karvel::report {

namespace {

// The buckets are summed here, not by the database: a GROUP BY over an expression of the
// time sorts every change of the period, while one pass in time order sorts nothing.
class TBucketIndex {
public:
    explicit TBucketIndex(const std::vector<int64_t>& edges) : edges_(edges) { }
    // Changes come in time order, so the bucket mostly stays or moves by one.
    size_t Of(int64_t ms)
    {
        if (ms >= edges_[current_] && ms < edges_[current_ + 1])
            return current_;
        const auto next = std::upper_bound(edges_.begin(), edges_.end() - 1, ms);
        current_ = static_cast<size_t>(next - edges_.begin()) - 1;
        return current_;
    }

private:
    const std::vector<int64_t>& edges_;
    size_t current_ = 0;
};

} // namespace

std::optional<TChartData> QueryChart(TSqliteDb& db, const TReportPeriod& period, TGrouping grouping,
                                     const QTimeZone& zone)
{
    TChartData chart;
    chart.bucketSize = BucketSizeFor(period);
    chart.edges = BucketEdges(period, chart.bucketSize, zone);
    const size_t buckets = chart.edges.size() - 1;
    const bool byProduct = grouping == TGrouping::Product;
    TSqliteStatement query(db,
                           byProduct ? "SELECT booked_at_ms, product, count_d FROM changes"
                                       " WHERE booked_at_ms >= ?1 AND booked_at_ms < ?2"
                                       " ORDER BY booked_at_ms"
                                     : "SELECT booked_at_ms, line, count_d FROM changes"
                                       " WHERE booked_at_ms >= ?1 AND booked_at_ms < ?2"
                                       " ORDER BY booked_at_ms");
    if (!query.Valid())
        return std::nullopt;
    query.Bind(1, period.fromMs).Bind(2, period.toMs);
    TGroupIndex groups(byProduct);
    std::vector<std::vector<double>> weights;
    TBucketIndex bucketOf(chart.edges);
    while (query.Step()) {
        const size_t bucket = bucketOf.Of(query.Int(0));
        const size_t series = byProduct ? groups.Of(0, 0, query.TextView(1))
                                        : groups.Of(static_cast<int>(query.Int(1)), 0, {});
        if (series == weights.size())
            weights.emplace_back(buckets, 0.0);
        weights[series][bucket] += query.Double(2);
    }
    if (query.Failed())
        return std::nullopt;
    for (const size_t index : groups.Sorted()) {
        const TGroupId& id = groups.Groups()[index];
        chart.series.push_back({id.line, id.product, std::move(weights[index])});
    }
    return chart;
}

} // namespace karvel::report

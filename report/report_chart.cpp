#include "report_chart.h"

#include "sqlite_db.h"

#include <algorithm>
#include <map>

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
    std::map<std::string, std::vector<double>, std::less<>> byName;
    std::map<int, std::vector<double>> byLine;
    TBucketIndex bucketOf(chart.edges);
    // The series of the last row: consecutive changes are often of one product.
    std::vector<double>* last = nullptr;
    std::string lastName;
    int lastLine = -1;
    while (query.Step()) {
        const size_t bucket = bucketOf.Of(query.Int(0));
        if (byProduct) {
            const std::string_view name = query.TextView(1);
            if (!last || name != lastName) {
                auto it = byName.find(name);
                if (it == byName.end())
                    it = byName.emplace(std::string(name), std::vector<double>(buckets)).first;
                last = &it->second;
                lastName.assign(name);
            }
        } else {
            const int line = static_cast<int>(query.Int(1));
            if (!last || line != lastLine) {
                auto [it, added] = byLine.try_emplace(line);
                if (added)
                    it->second.assign(buckets, 0.0);
                last = &it->second;
                lastLine = line;
            }
        }
        (*last)[bucket] += query.Double(2);
    }
    if (query.Failed())
        return std::nullopt;
    for (auto& [name, weights] : byName)
        chart.series.push_back({0, name, std::move(weights)});
    for (auto& [line, weights] : byLine)
        chart.series.push_back({line, {}, std::move(weights)});
    return chart;
}

} // namespace karvel::report

#include "report_scan.h"

#include "group_index.h"
#include "sqlite_db.h"

#include <algorithm>

namespace karvel::report {

namespace {

constexpr const char* kChangesSql =
    "SELECT seq, booked_at_ms, line, net_num, product, count_d FROM changes"
    " WHERE booked_at_ms >= ?1 AND booked_at_ms < ?2 ORDER BY booked_at_ms";
// The changes of the period in one delivery state to the sink, found from the delivery
// index (sink, state, seq): few rows for any state but "delivered".
constexpr const char* kInStateSql =
    "SELECT c.line, c.net_num, c.product FROM deliveries d JOIN changes c ON c.seq = d.seq"
    " WHERE d.sink = ?1 AND d.state = ?2 AND d.seq BETWEEN ?3 AND ?4"
    " AND c.booked_at_ms >= ?5 AND c.booked_at_ms < ?6";
constexpr const char* kCountInStateSql =
    "SELECT count(*) FROM deliveries WHERE sink = ?1 AND state = ?2 AND seq BETWEEN ?3 AND ?4";

constexpr size_t kDelivered = static_cast<size_t>(1);

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

struct TScan {
    TGrouping grouping;
    TGroupIndex groups; // the table's rows
    TGroupIndex lines {false}; // the chart's series when they are lines
    std::vector<TReportRow> rows;
    std::vector<std::vector<double>> series;
    int64_t minSeq = INT64_MAX;
    int64_t maxSeq = INT64_MIN;
    int64_t bookings = 0;

    explicit TScan(TGrouping g) : grouping(g), groups(g == TGrouping::Product) { }

    size_t RowOf(int line, int netNum, std::string_view product)
    {
        const size_t at = groups.Of(grouping == TGrouping::Product ? 0 : line,
                                    grouping == TGrouping::Terminal ? netNum : 0,
                                    grouping == TGrouping::Product ? product : std::string_view());
        if (at == rows.size()) {
            const TGroupId& id = groups.Groups()[at];
            rows.push_back({id.line, id.netNum, id.product, 0, 0, {}});
        }
        return at;
    }
};

// Counts the changes of the period in `state` per row; the total of them.
std::optional<int64_t> CountState(TSqliteDb& db, TScan& scan, const TReportPeriod& period,
                                  const std::string& sink, int state)
{
    TSqliteStatement query(db, kInStateSql);
    if (!query.Valid())
        return std::nullopt;
    query.Bind(1, std::string_view(sink))
        .Bind(2, static_cast<int64_t>(state))
        .Bind(3, scan.minSeq)
        .Bind(4, scan.maxSeq)
        .Bind(5, period.fromMs)
        .Bind(6, period.toMs);
    int64_t count = 0;
    while (query.Step()) {
        const size_t row = scan.RowOf(static_cast<int>(query.Int(0)),
                                      static_cast<int>(query.Int(1)), query.TextView(2));
        ++scan.rows[row].states[static_cast<size_t>(state)];
        ++count;
    }
    if (query.Failed())
        return std::nullopt;
    return count;
}

bool CountStates(TSqliteDb& db, TScan& scan, const TReportPeriod& period, const std::string& sink)
{
    if (scan.bookings == 0)
        return true;
    int64_t notDelivered = 0;
    for (int state : {0, 2, 3}) {
        const auto count = CountState(db, scan, period, sink, state);
        if (!count)
            return false;
        notDelivered += *count;
    }
    // Mostly every change of the period is all of its sequence range and has a delivery
    // row: then the delivered ones are the rest, and counting them takes no lookups.
    TSqliteStatement count(db, kCountInStateSql);
    count.Bind(1, std::string_view(sink))
        .Bind(2, static_cast<int64_t>(kDelivered))
        .Bind(3, scan.minSeq)
        .Bind(4, scan.maxSeq);
    if (!count.Step())
        return false;
    const int64_t delivered = count.Int(0);
    const bool wholeRange = scan.maxSeq - scan.minSeq + 1 == scan.bookings;
    if (wholeRange && delivered + notDelivered == scan.bookings) {
        for (TReportRow& row : scan.rows) {
            const TStateCounts& s = row.states;
            row.states[kDelivered] = row.bookings - s[0] - s[2] - s[3];
        }
        return true;
    }
    // Changes booked without the sink, or a clock set back: count them one by one.
    return CountState(db, scan, period, sink, static_cast<int>(kDelivered)).has_value();
}

} // namespace

std::optional<TReportAndChart> QueryReportAndChart(TSqliteDb& db, const TReportPeriod& period,
                                                   TGrouping grouping, const std::string& sink,
                                                   const QTimeZone& zone)
{
    TReportAndChart result;
    TChartData& chart = result.chart;
    chart.bucketSize = BucketSizeFor(period);
    chart.edges = BucketEdges(period, chart.bucketSize, zone);
    const size_t buckets = chart.edges.size() - 1;
    const bool seriesAreRows = grouping == TGrouping::Product;

    TSqliteStatement changes(db, kChangesSql);
    if (!changes.Valid())
        return std::nullopt;
    changes.Bind(1, period.fromMs).Bind(2, period.toMs);
    TScan scan(grouping);
    TBucketIndex bucketOf(chart.edges);
    while (changes.Step()) {
        const int64_t seq = changes.Int(0);
        const int line = static_cast<int>(changes.Int(2));
        const double weight = changes.Double(5);
        const size_t row = scan.RowOf(line, static_cast<int>(changes.Int(3)),
                                      seriesAreRows ? changes.TextView(4) : std::string_view());
        scan.rows[row].weight += weight;
        ++scan.rows[row].bookings;
        ++scan.bookings;
        scan.minSeq = std::min(scan.minSeq, seq);
        scan.maxSeq = std::max(scan.maxSeq, seq);
        const size_t series = seriesAreRows ? row : scan.lines.Of(line, 0, {});
        if (series == scan.series.size())
            scan.series.emplace_back(buckets, 0.0);
        scan.series[series][bucketOf.Of(changes.Int(1))] += weight;
    }
    if (changes.Failed() || !CountStates(db, scan, period, sink))
        return std::nullopt;

    for (const size_t index : scan.groups.Sorted()) {
        TReportRow& row = scan.rows[index];
        result.table.total.weight += row.weight;
        result.table.total.bookings += row.bookings;
        for (size_t i = 0; i < row.states.size(); ++i)
            result.table.total.states[i] += row.states[i];
        result.table.rows.push_back(std::move(row));
    }
    const TGroupIndex& seriesIds = seriesAreRows ? scan.groups : scan.lines;
    for (const size_t index : seriesIds.Sorted()) {
        const TGroupId& id = seriesIds.Groups()[index];
        chart.series.push_back({id.line, id.product, std::move(scan.series[index])});
    }
    return result;
}

} // namespace karvel::report

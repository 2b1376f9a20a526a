#include "report_query.h"

#include "sqlite_db.h"

namespace karvel::report {

namespace {

// Summed in the database: a month of a busy plant is a few hundred thousand changes, and
// only the groups cross into the program.
const char* GroupSql(TGrouping grouping)
{
    switch (grouping) {
    case TGrouping::Line:
        return "c.line, 0, ''";
    case TGrouping::Terminal:
        return "c.line, c.net_num, ''";
    case TGrouping::Product:
        return "0, 0, c.product";
    }
    return "";
}

std::string ReportSql(TGrouping grouping)
{
    const std::string group = GroupSql(grouping);
    return "SELECT " + group +
        ", total(c.count_d), count(*),"
        " count(d.state = 0 OR NULL), count(d.state = 1 OR NULL),"
        " count(d.state = 2 OR NULL), count(d.state = 3 OR NULL)"
        " FROM changes c LEFT JOIN deliveries d ON d.seq = c.seq AND d.sink = ?3"
        " WHERE c.booked_at_ms >= ?1 AND c.booked_at_ms < ?2"
        " GROUP BY " +
        group;
}

void AddTo(TReportRow& total, const TReportRow& row)
{
    total.weight += row.weight;
    total.bookings += row.bookings;
    for (size_t i = 0; i < total.states.size(); ++i)
        total.states[i] += row.states[i];
}

} // namespace

std::optional<TReportTable> QueryReport(TSqliteDb& db, const TReportPeriod& period,
                                        TGrouping grouping, const std::string& sink)
{
    TSqliteStatement query(db, ReportSql(grouping));
    if (!query.Valid())
        return std::nullopt;
    query.Bind(1, period.fromMs).Bind(2, period.toMs).Bind(3, std::string_view(sink));
    TReportTable table;
    while (query.Step()) {
        TReportRow row;
        row.line = static_cast<int>(query.Int(0));
        row.netNum = static_cast<int>(query.Int(1));
        row.product = query.Text(2);
        row.weight = query.Double(3);
        row.bookings = query.Int(4);
        for (int state = 0; state < 4; ++state)
            row.states[static_cast<size_t>(state)] = query.Int(5 + state);
        AddTo(table.total, row);
        table.rows.push_back(std::move(row));
    }
    if (query.Failed())
        return std::nullopt;
    return table;
}

} // namespace karvel::report

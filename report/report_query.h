#pragma once
// The report table: the booked weight (sum of count_d), the number of bookings and the
// delivery states to one sink, per line, per terminal or per product, for one period.

#include "report_period.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace karvel {
class TSqliteDb;
}

namespace karvel::report {

enum class TGrouping { Line, Terminal, Product };

// Counts per stored delivery state (waiting, delivered, set aside, discarded); changes
// without a delivery row for the sink (booked while it was not configured) are in none.
using TStateCounts = std::array<int64_t, 4>;

struct TReportRow {
    int line = 0; // 0 for a product row
    int netNum = 0; // 0 unless grouped by terminal
    std::string product; // empty unless grouped by product
    double weight = 0; // sum of count_d
    int64_t bookings = 0;
    TStateCounts states {};
};

struct TReportTable {
    std::vector<TReportRow> rows; // line, terminal or product order
    TReportRow total;
};

// Reads the changes booked in `period`; nullopt on a database error (db.LastError()).
std::optional<TReportTable> QueryReport(TSqliteDb& db, const TReportPeriod& period,
                                        TGrouping grouping, const std::string& sink);

} // namespace karvel::report

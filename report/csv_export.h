#pragma once
// The ledger as a spreadsheet file: one row per booked change with every column of the
// ledger and the delivery to each sink, UTF-8 with a byte-order mark (so that a
// spreadsheet reads the Russian product names), ';' between fields, CR LF line ends,
// numbers with '.' as the decimal separator and no grouping, like every number text of
// the program.

#include "report_period.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace karvel {
class TSqliteDb;
}

namespace karvel::report {

// The header row, without the byte-order mark.
std::string CsvHeader();
// A field as written: quoted when it holds ';', '"' or a line break.
void AppendCsvField(std::string& out, std::string_view text);
// The shortest text that reads back as the same value: "1234.5", "0.125", "-3".
void AppendNumber(std::string& out, double value);
// "2026-03-29 01:59:59": the local time of the booking from its stored offset.
void AppendLocalTime(std::string& out, int64_t utcMs, int offsetS);

struct TCsvResult {
    bool ok = false;
    int64_t rows = 0;
    std::string error;
};

// Writes the changes booked in `period` in booking order. `write` takes each chunk and
// returns false when it could not be written; `cancel`, when set, ends the export early
// (the result is then not ok).
TCsvResult ExportCsv(TSqliteDb& db, const TReportPeriod& period,
                     const std::function<bool(std::string_view)>& write,
                     const std::atomic<bool>* cancel = nullptr);

// Into a file: written beside it under a temporary name and renamed into place only when
// complete, so a failed export never leaves a cut file under the chosen name. "-" is
// standard output.
TCsvResult ExportCsvFile(const std::string& ledgerPath, const TReportPeriod& period,
                         const std::string& path, const std::atomic<bool>* cancel = nullptr);

} // namespace karvel::report

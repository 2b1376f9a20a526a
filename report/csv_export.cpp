#include "csv_export.h"

#include "ledger_schema.h"
#include "sqlite_db.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace karvel::report {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";
constexpr size_t kChunk = 1 << 16;
// The sinks of the ledger, each with its four delivery columns (empty when the change
// has no delivery to that sink).
constexpr std::array<const char*, 2> kSinks = {ledger::kSinkDbus, ledger::kSinkMqtt};
constexpr std::array<const char*, 4> kDeliveryColumns = {"state", "attempts", "last_error",
                                                         "updated_at_ms"};

constexpr const char* kExportSql =
    "SELECT c.seq, c.change_id, c.booked_at_ms, c.utc_offset_s, c.line, c.net_num,"
    " c.product, c.count_c, c.count_d,"
    " d1.state, d1.attempts, d1.last_error, d1.updated_at_ms,"
    " d2.state, d2.attempts, d2.last_error, d2.updated_at_ms"
    " FROM changes c"
    " LEFT JOIN deliveries d1 ON d1.seq = c.seq AND d1.sink = ?3"
    " LEFT JOIN deliveries d2 ON d2.seq = c.seq AND d2.sink = ?4"
    " WHERE c.booked_at_ms >= ?1 AND c.booked_at_ms < ?2"
    " ORDER BY c.booked_at_ms, c.seq";

void AppendInt(std::string& out, int64_t value)
{
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    out.append(buffer, end);
}

void AppendTwo(std::string& out, int value)
{
    out.push_back(static_cast<char>('0' + value / 10));
    out.push_back(static_cast<char>('0' + value % 10));
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t days, int64_t& year, int& month, int& day)
{
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

void AppendColumn(std::string& out, const TSqliteStatement& row, int column, bool text)
{
    if (row.IsNull(column))
        return;
    if (text)
        AppendCsvField(out, row.TextView(column));
    else
        AppendInt(out, row.Int(column));
}

void AppendRow(std::string& out, const TSqliteStatement& row)
{
    AppendInt(out, row.Int(0));
    out.push_back(';');
    AppendCsvField(out, row.TextView(1));
    out.push_back(';');
    AppendLocalTime(out, row.Int(2), static_cast<int>(row.Int(3)));
    out.push_back(';');
    AppendInt(out, row.Int(2));
    out.push_back(';');
    AppendInt(out, row.Int(3));
    out.push_back(';');
    AppendInt(out, row.Int(4));
    out.push_back(';');
    AppendInt(out, row.Int(5));
    out.push_back(';');
    AppendCsvField(out, row.TextView(6));
    out.push_back(';');
    AppendNumber(out, row.Double(7));
    out.push_back(';');
    AppendNumber(out, row.Double(8));
    for (int column = 9; column < 17; ++column) {
        out.push_back(';');
        AppendColumn(out, row, column, (column - 9) % 4 == 2);
    }
    out.append(kLineEnd);
}

bool WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

} // namespace

std::string CsvHeader()
{
    std::string header = "seq;change_id;booked_at_local;booked_at_ms;utc_offset_s;line;net_num;"
                         "product;count_c;count_d";
    for (const char* sink : kSinks)
        for (const char* column : kDeliveryColumns)
            header.append(";").append(sink).append("_").append(column);
    header.append(kLineEnd);
    return header;
}

void AppendCsvField(std::string& out, std::string_view text)
{
    if (text.find_first_of(";\"\r\n") == std::string_view::npos) {
        out.append(text);
        return;
    }
    out.push_back('"');
    for (char c : text) {
        if (c == '"')
            out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

void AppendNumber(std::string& out, double value)
{
    char buffer[400]; // the longest fixed text of a double
    if (value == 0)
        value = 0; // no "-0"
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed).ptr;
    out.append(buffer, end);
}

void AppendLocalTime(std::string& out, int64_t utcMs, int offsetS)
{
    const int64_t local = (utcMs >= 0 ? utcMs / 1000 : (utcMs - 999) / 1000) + offsetS;
    const int64_t days = local >= 0 ? local / 86400 : (local - 86399) / 86400;
    const int64_t secondOfDay = local - days * 86400;
    int64_t year = 0;
    int month = 0, day = 0;
    CivilFromDays(days, year, month, day);
    AppendInt(out, year);
    out.push_back('-');
    AppendTwo(out, month);
    out.push_back('-');
    AppendTwo(out, day);
    out.push_back(' ');
    AppendTwo(out, static_cast<int>(secondOfDay / 3600));
    out.push_back(':');
    AppendTwo(out, static_cast<int>(secondOfDay / 60 % 60));
    out.push_back(':');
    AppendTwo(out, static_cast<int>(secondOfDay % 60));
}

TCsvResult ExportCsv(TSqliteDb& db, const TReportPeriod& period,
                     const std::function<bool(std::string_view)>& write,
                     const std::atomic<bool>* cancel)
{
    TCsvResult result;
    TSqliteStatement query(db, kExportSql);
    if (!query.Valid()) {
        result.error = db.LastError();
        return result;
    }
    query.Bind(1, period.fromMs).Bind(2, period.toMs);
    query.Bind(3, std::string_view(kSinks[0])).Bind(4, std::string_view(kSinks[1]));
    std::string out;
    out.reserve(kChunk + 4096);
    out.append(kBom).append(CsvHeader());
    while (query.Step()) {
        AppendRow(out, query);
        ++result.rows;
        if (out.size() < kChunk)
            continue;
        if (!write(out)) {
            result.error = "write failed";
            return result;
        }
        out.clear();
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            result.error = "cancelled";
            return result;
        }
    }
    if (query.Failed()) {
        result.error = db.LastError();
        return result;
    }
    if (!write(out)) {
        result.error = "write failed";
        return result;
    }
    result.ok = true;
    return result;
}

TCsvResult ExportCsvFile(const std::string& ledgerPath, const TReportPeriod& period,
                         const std::string& path, const std::atomic<bool>* cancel)
{
    TCsvResult result;
    TSqliteDb db;
    if (!db.Open(ledgerPath, true)) {
        result.error = ledgerPath + ": " + db.LastError();
        return result;
    }
    if (path == "-") {
        result = ExportCsv(
            db, period, [](std::string_view data) { return WriteAll(STDOUT_FILENO, data); },
            cancel);
        if (!result.ok && result.error == "write failed")
            result.error = std::string("standard output: ") + std::strerror(errno);
        return result;
    }
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        result.error = path + ": " + std::strerror(errno);
        return result;
    }
    int writeErrno = 0;
    result = ExportCsv(
        db, period,
        [&](std::string_view data) {
            if (WriteAll(fd, data))
                return true;
            writeErrno = errno;
            return false;
        },
        cancel);
    if (result.ok && ::fsync(fd) != 0) {
        writeErrno = errno;
        result.ok = false;
    }
    // mkstemp makes the file for its owner only; an export is read like any document.
    // (Not from the umask: asking for it changes it for every thread for a moment.)
    ::fchmod(fd, 0644);
    if (::close(fd) != 0 && result.ok) {
        writeErrno = errno;
        result.ok = false;
    }
    if (result.ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
        writeErrno = errno;
        result.ok = false;
    }
    if (!result.ok) {
        ::unlink(temporary.c_str());
        if (writeErrno != 0)
            result.error = path + ": " + std::strerror(writeErrno);
    }
    return result;
}

} // namespace karvel::report

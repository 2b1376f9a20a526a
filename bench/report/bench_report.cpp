// Fills a ledger with a year of bookings of four lines of thirty terminals (5 million
// changes, each delivered to the bus sink but a few) and prints the time of a month's
// report grouped by product, of a year's chart, and the export rate; then the same with
// each candidate index added, so that the indexes of the ledger are chosen by figures.
//
//   bench_report [--changes N] [--ledger FILE]
// An existing FILE with the same number of changes is reused (filling takes minutes).

#include "csv_export.h"
#include "ledger_rows.h"
#include "ledger_schema.h"
#include "report_chart.h"
#include "report_query.h"
#include "report_scan.h"

#include <QDateTime>
#include <QTimeZone>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace karvel;
using namespace karvel::report;
using Clock = std::chrono::steady_clock;

namespace {

const QTimeZone kZone("Europe/Berlin");

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

int64_t LocalMs(int year, int month, int day)
{
    return QDateTime(QDate(year, month, day), QTime(0, 0), kZone).toMSecsSinceEpoch();
}

bool Fill(const std::string& path, int64_t changes)
{
    static const std::array<const char*, 24> products = {
        "Пшеница", "Рожь",    "Ячмень", "Овёс", "Кукуруза", "Горох",  "Соя",       "Подсолнечник",
        "Рапс",    "Гречиха", "Просо",  "Шрот", "Жмых",     "Отруби", "Комбикорм", "Мука",
        "Крупа",   "Сахар",   "Соль",   "Мел",  "Премикс",  "Дрожжи", "Солод",     "Рис"};
    std::remove(path.c_str());
    testing::TLedgerRows ledger(path);
    std::mt19937_64 random(20261211);
    std::uniform_real_distribution<double> portion(50.0, 500.0);
    std::uniform_int_distribution<int> slot(0, 119);
    std::uniform_int_distribution<int> rare(0, 9999);
    std::array<double, 120> totals {};
    const int64_t from = LocalMs(2025, 1, 1);
    const int64_t span = LocalMs(2026, 1, 1) - from;
    for (int64_t i = 0; i < changes; ++i) {
        testing::TRow row;
        row.bookedAtMs = from + span * i / changes;
        row.utcOffsetS = kZone.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(row.bookedAtMs));
        const int s = slot(random);
        row.line = 1 + s / 30;
        row.netNum = 1 + s % 30;
        row.product = products[static_cast<size_t>(s) % products.size()];
        row.countD = std::round(portion(random) * 10) / 10;
        totals[static_cast<size_t>(s)] += row.countD;
        row.countC = totals[static_cast<size_t>(s)];
        const int r = rare(random);
        row.state = r < 10 ? 0 : r < 15 ? 2 : r < 17 ? 3 : 1;
        if (!ledger.Add(row))
            return false;
        if (i % 500000 == 499999 && !ledger.Commit())
            return false;
    }
    return ledger.Commit();
}

template <typename T> T Checked(std::optional<T> value, TSqliteDb& db)
{
    if (!value) {
        std::fprintf(stderr, "bench_report: %s\n", db.LastError().c_str());
        std::exit(1);
    }
    return std::move(*value);
}

double ThreadCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The wall time and the processor time of the work, each the least of `runs` runs: on a
// shared machine the processor time says more than the wall time.
struct TTime {
    double wall = 1e18;
    double cpu = 1e18;
};

template <typename F> TTime Best(int runs, F&& work)
{
    TTime best;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        const double cpuStart = ThreadCpuMs();
        work();
        best.cpu = std::min(best.cpu, ThreadCpuMs() - cpuStart);
        best.wall = std::min(best.wall, Ms(Clock::now() - start));
    }
    return best;
}

void Measure(const std::string& ledgerPath, const char* label)
{
    TSqliteDb db;
    db.Open(ledgerPath, true);
    const TReportPeriod month {LocalMs(2025, 6, 1), LocalMs(2025, 7, 1)};
    const TReportPeriod year {LocalMs(2025, 1, 1), LocalMs(2026, 1, 1)};
    size_t rows = 0;
    const TTime report = Best(3, [&] {
        rows = Checked(QueryReport(db, month, TGrouping::Product, "dbus"), db).rows.size();
    });
    const TTime reportLines =
        Best(3, [&] { Checked(QueryReport(db, month, TGrouping::Terminal, "dbus"), db); });
    size_t series = 0;
    const TTime chart = Best(3, [&] {
        series = Checked(QueryChart(db, year, TGrouping::Product, kZone), db).series.size();
    });
    const TTime chartLines =
        Best(3, [&] { Checked(QueryChart(db, year, TGrouping::Line, kZone), db); });
    // What the window computes for a year: the table with its delivery states and the chart.
    const TTime yearBoth = Best(
        1, [&] { Checked(QueryReportAndChart(db, year, TGrouping::Product, "dbus", kZone), db); });
    int64_t exported = 0;
    const TTime exportMs = Best(1, [&] {
        exported = ExportCsvFile(ledgerPath, month, "/tmp/bench_report_month.csv").rows;
    });
    std::printf("%-26s wall (cpu) ms: month by product %6.0f (%6.0f) [%zu rows] | by terminal"
                " %6.0f (%6.0f) | year chart by product %6.0f (%6.0f) [%zu series] | by line"
                " %6.0f (%6.0f) | year table+chart %6.0f (%6.0f) | export %7.0f rows/s"
                " (cpu %7.0f rows/s) [%lld rows]\n",
                label, report.wall, report.cpu, rows, reportLines.wall, reportLines.cpu, chart.wall,
                chart.cpu, series, chartLines.wall, chartLines.cpu, yearBoth.wall, yearBoth.cpu,
                static_cast<double>(exported) / (exportMs.wall / 1000.0),
                static_cast<double>(exported) / (exportMs.cpu / 1000.0),
                static_cast<long long>(exported));
    std::remove("/tmp/bench_report_month.csv");
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    int64_t changes = 5'000'000;
    std::string path = "/tmp/karvel-bench-ledger.db";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--changes") == 0)
            changes = std::atoll(argv[i + 1]);
        else if (std::strcmp(argv[i], "--ledger") == 0)
            path = argv[i + 1];
    }
    {
        TSqliteDb db;
        const bool reuse =
            db.Open(path, true) && db.QueryInt("SELECT count(*) FROM changes", -1) == changes;
        db.Close();
        if (!reuse) {
            const auto start = Clock::now();
            if (!Fill(path, changes)) {
                std::fprintf(stderr, "bench_report: cannot fill %s\n", path.c_str());
                return 1;
            }
            std::printf("filled %lld changes in %.1f s\n", static_cast<long long>(changes),
                        Ms(Clock::now() - start) / 1000);
        }
    }
    {
        TSqliteDb db; // a ledger made before the report index gets it like any other
        db.Open(path);
        db.Exec(ledger::kCreateV1);
    }
    Measure(path, "ledger indexes");
    struct TCandidate {
        const char* label;
        const char* change;
        const char* undo;
    };
    const std::array<TCandidate, 2> candidates = {{
        {"without changes_report", "DROP INDEX changes_report", ledger::kCreateV1},
        {"narrower (time,product,d)",
         "DROP INDEX changes_report;"
         " CREATE INDEX bench_product ON changes(booked_at_ms, product, count_d)",
         "DROP INDEX bench_product"},
    }};
    for (const TCandidate& candidate : candidates) {
        TSqliteDb db;
        db.Open(path);
        if (!db.Exec(candidate.change)) {
            std::fprintf(stderr, "%s\n", db.LastError().c_str());
            continue;
        }
        Measure(path, candidate.label);
        db.Exec(candidate.undo);
        db.Exec(ledger::kCreateV1);
    }
    return 0;
}

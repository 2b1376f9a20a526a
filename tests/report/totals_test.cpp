// Totals and chart figures of a ledger of known changes around shift, day and clock-change
// boundaries.
#include "known_ledger.h"
#include "report_chart.h"
#include "report_query.h"
#include "report_texts.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <numeric>

using namespace karvel;
using namespace karvel::report;
using namespace karvel::report::testing;

namespace {

const std::vector<QTime> kShifts = {QTime(8, 0), QTime(20, 0)};

class KnownLedger : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        path_ = dir_.filePath(QStringLiteral("ledger.db")).toStdString();
        ASSERT_TRUE(WriteKnownLedger(path_));
        ASSERT_TRUE(db_.Open(path_, true)) << db_.LastError();
    }

    TReportPeriod Period(TPeriodKind kind, const char* now)
    {
        return PeriodFor(kind, QDateTime::fromMSecsSinceEpoch(Berlin(now), kBerlin), kShifts,
                         kBerlin);
    }

    QTemporaryDir dir_;
    std::string path_;
    TSqliteDb db_;
};

struct TExpectedRow {
    QString name;
    double weight;
    int64_t bookings;
};

struct TTotalsCase {
    const char* name;
    TPeriodKind kind;
    const char* now;
    TGrouping grouping;
    std::vector<TExpectedRow> rows;
};

class Totals : public KnownLedger, public ::testing::WithParamInterface<TTotalsCase> { };

TEST_P(Totals, MatchTheChangesBookedInThePeriod)
{
    const TTotalsCase& c = GetParam();
    const auto table = QueryReport(db_, Period(c.kind, c.now), c.grouping, "dbus");
    ASSERT_TRUE(table) << db_.LastError();
    ASSERT_EQ(table->rows.size(), c.rows.size());
    double weight = 0;
    int64_t bookings = 0;
    for (size_t i = 0; i < c.rows.size(); ++i) {
        EXPECT_EQ(RowName(table->rows[i], c.grouping), c.rows[i].name) << i;
        EXPECT_DOUBLE_EQ(table->rows[i].weight, c.rows[i].weight) << i;
        EXPECT_EQ(table->rows[i].bookings, c.rows[i].bookings) << i;
        weight += c.rows[i].weight;
        bookings += c.rows[i].bookings;
    }
    EXPECT_DOUBLE_EQ(table->total.weight, weight);
    EXPECT_EQ(table->total.bookings, bookings);
}

const QString kOats = QStringLiteral("Овёс");
const QString kWheat = QStringLiteral("Пшеница");
const QString kRye = QStringLiteral("Рожь");

INSTANTIATE_TEST_SUITE_P(
    Berlin, Totals,
    ::testing::Values(
        TTotalsCase {"ElevenHourNightByProduct",
                     TPeriodKind::ThisShift,
                     "2026-03-29 05:00:00",
                     TGrouping::Product,
                     {{kOats, 7, 3}, {kWheat, 10, 1}, {kRye, 33.25, 2}}},
        TTotalsCase {"DayShiftByLine",
                     TPeriodKind::LastShift,
                     "2026-03-29 05:00:00",
                     TGrouping::Line,
                     {{QStringLiteral("Линия 1"), 200, 1}, {QStringLiteral("Линия 2"), 50.5, 1}}},
        TTotalsCase {"SpringDayByTerminal",
                     TPeriodKind::Today,
                     "2026-03-29 12:00:00",
                     TGrouping::Terminal,
                     {{QStringLiteral("Линия 2, весы 8"), 0.125, 1},
                      {QStringLiteral("Линия 3, весы 1"), 7, 3},
                      {QStringLiteral("Линия 4, весы 30"), 56, 3}}},
        TTotalsCase {"DayBeforeByLine",
                     TPeriodKind::Yesterday,
                     "2026-03-29 12:00:00",
                     TGrouping::Line,
                     {{QStringLiteral("Линия 1"), 310, 3}, {QStringLiteral("Линия 2"), 75.75, 2}}},
        TTotalsCase {"ThirteenHourNightByLine",
                     TPeriodKind::ThisShift,
                     "2026-10-25 05:00:00",
                     TGrouping::Line,
                     {{QStringLiteral("Линия 1"), 15, 4}}},
        TTotalsCase {"AutumnDayByProduct",
                     TPeriodKind::Today,
                     "2026-10-25 12:00:00",
                     TGrouping::Product,
                     {{kWheat, 30, 4}}},
        TTotalsCase {
            "EmptyShift", TPeriodKind::ThisShift, "2026-06-01 12:00:00", TGrouping::Product, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(KnownLedger, DeliveryStatesAreCountedPerRowAndInTheTotal)
{
    const auto table = QueryReport(db_, Period(TPeriodKind::Today, "2026-03-29 12:00:00"),
                                   TGrouping::Terminal, "dbus");
    ASSERT_TRUE(table);
    ASSERT_EQ(table->rows.size(), 3u);
    // waiting, delivered, set aside, discarded
    EXPECT_EQ(table->rows[0].states, (TStateCounts {0, 0, 0, 0})); // no delivery to the bus
    EXPECT_EQ(table->rows[1].states, (TStateCounts {0, 3, 0, 0}));
    EXPECT_EQ(table->rows[2].states, (TStateCounts {1, 0, 1, 1}));
    EXPECT_EQ(table->total.states, (TStateCounts {1, 3, 1, 1}));
    // Another sink has no deliveries at all here.
    const auto mqtt = QueryReport(db_, Period(TPeriodKind::Today, "2026-03-29 12:00:00"),
                                  TGrouping::Line, "mqtt");
    ASSERT_TRUE(mqtt);
    EXPECT_EQ(mqtt->total.states, (TStateCounts {0, 0, 0, 0}));
    EXPECT_EQ(mqtt->total.bookings, 7);
}

TEST_F(KnownLedger, AClockSetBackStillCountsEveryDeliveryOnce)
{
    // Booked last, stamped in the spring night: its sequence number lies far beyond the
    // night's others, with the autumn's changes in between.
    {
        TLedgerRows late(path_);
        ASSERT_TRUE(late.Add(Change(Berlin("2026-03-29 01:00:00"), 3, 1, "Овёс", 64, 1)));
        ASSERT_TRUE(late.Commit());
    }
    const auto table = QueryReport(db_, Period(TPeriodKind::ThisShift, "2026-03-29 05:00:00"),
                                   TGrouping::Product, "dbus");
    ASSERT_TRUE(table);
    ASSERT_EQ(table->rows.size(), 3u);
    EXPECT_EQ(table->rows[0].bookings, 4); // oats
    EXPECT_DOUBLE_EQ(table->rows[0].weight, 71);
    EXPECT_EQ(table->rows[0].states, (TStateCounts {0, 4, 0, 0}));
    EXPECT_EQ(table->total.states, (TStateCounts {1, 6, 0, 0}));
}

TEST_F(KnownLedger, TheTwoHalfPastTwosOfTheAutumnNightAreTwoHours)
{
    const auto chart = QueryChart(db_, Period(TPeriodKind::ThisShift, "2026-10-25 05:00:00"),
                                  TGrouping::Line, kBerlin);
    ASSERT_TRUE(chart);
    EXPECT_EQ(chart->bucketSize, TBucketSize::Hour);
    ASSERT_EQ(chart->series.size(), 1u);
    EXPECT_EQ(chart->series[0].line, 1);
    std::vector<double> expected(13, 0.0);
    expected[0] = 1; // 20:00 CEST
    expected[6] = 2; // 02:30 CEST
    expected[7] = 4; // 02:30 CET
    expected[12] = 8; // 07:59:59 CET
    EXPECT_EQ(chart->series[0].weights, expected);
}

TEST_F(KnownLedger, AWeekChartHasOneBucketPerLocalDay)
{
    const TReportPeriod week {Berlin("2026-03-25 00:00:00"), Berlin("2026-04-01 00:00:00")};
    const auto chart = QueryChart(db_, week, TGrouping::Product, kBerlin);
    ASSERT_TRUE(chart);
    EXPECT_EQ(chart->bucketSize, TBucketSize::Day);
    ASSERT_EQ(chart->series.size(), 4u); // oats, wheat, rye and the mixture, by name
    auto find = [&](const QString& name) {
        for (const TChartSeries& s : chart->series)
            if (SeriesName(s) == name)
                return s.weights;
        return std::vector<double>();
    };
    EXPECT_EQ(find(kOats), (std::vector<double> {0, 0, 0, 0, 7, 0, 0}));
    EXPECT_EQ(find(kWheat), (std::vector<double> {0, 0, 0, 310, 0, 0, 0}));
    EXPECT_EQ(find(kRye), (std::vector<double> {0, 0, 0, 75.75, 56, 0, 0}));
}

TEST_F(KnownLedger, TheChartAddsUpToTheTable)
{
    for (const TGrouping grouping : {TGrouping::Line, TGrouping::Terminal, TGrouping::Product}) {
        for (const TReportPeriod period :
             {Period(TPeriodKind::ThisShift, "2026-03-29 05:00:00"),
              Period(TPeriodKind::Today, "2026-10-25 12:00:00"),
              TReportPeriod {Berlin("2026-01-01 00:00:00"), Berlin("2027-01-01 00:00:00")}}) {
            const auto table = QueryReport(db_, period, grouping, "dbus");
            const auto chart = QueryChart(db_, period, grouping, kBerlin);
            ASSERT_TRUE(table && chart);
            double sum = 0;
            for (const TChartSeries& s : chart->series)
                sum = std::accumulate(s.weights.begin(), s.weights.end(), sum);
            EXPECT_DOUBLE_EQ(sum, table->total.weight);
        }
    }
}

TEST_F(KnownLedger, AFileThatIsNoLedgerIsAnErrorNotAnEmptyReport)
{
    const std::string other = dir_.filePath(QStringLiteral("other.db")).toStdString();
    {
        TSqliteDb db;
        ASSERT_TRUE(db.Open(other));
        ASSERT_TRUE(db.Exec("CREATE TABLE something(x)"));
    }
    TSqliteDb db;
    ASSERT_TRUE(db.Open(other, true));
    EXPECT_FALSE(QueryReport(db, Period(TPeriodKind::Today, "2026-03-29 12:00:00"), TGrouping::Line,
                             "dbus"));
    EXPECT_NE(db.LastError().find("changes"), std::string::npos) << db.LastError();
}

TEST(WeightText, DecimalPointAndNoTrailingZeros)
{
    const std::vector<std::pair<double, const char*>> cases = {
        {0, "0"},         {-0.0, "0"},      {1234.5, "1234.5"}, {0.125, "0.125"},
        {33.25, "33.25"}, {100, "100"},     {0.0004, "0"},      {1234567.891, "1234567.891"},
        {-7.5, "-7.5"},   {2.0005, "2.001"}};
    for (const auto& [value, text] : cases)
        EXPECT_EQ(WeightText(value), QString::fromLatin1(text)) << value;
}

} // namespace

// Shift, day and chart periods in a zone with daylight saving time.
#include "known_ledger.h"
#include "report_period.h"
#include "shift_times.h"

#include "config_keys.h"
#include "config_store.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace karvel;
using namespace karvel::report;
using namespace karvel::report::testing;

namespace {

constexpr int64_t kHour = 3600 * 1000;

QDateTime BerlinTime(const char* local)
{
    return QDateTime::fromMSecsSinceEpoch(Berlin(local), kBerlin);
}

struct TPeriodCase {
    const char* name;
    TPeriodKind kind;
    const char* shifts;
    const char* now;
    const char* from;
    const char* to;
    int64_t hours;
};

class PeriodTest : public ::testing::TestWithParam<TPeriodCase> { };

TEST_P(PeriodTest, StartsAndEndsAtTheLocalBoundaries)
{
    const TPeriodCase& c = GetParam();
    const TReportPeriod period = PeriodFor(
        c.kind, BerlinTime(c.now), ParseShiftStarts(QString::fromLatin1(c.shifts)), kBerlin);
    EXPECT_EQ(period.fromMs, Berlin(c.from));
    EXPECT_EQ(period.toMs, Berlin(c.to));
    EXPECT_EQ(period.toMs - period.fromMs, c.hours * kHour);
}

INSTANTIATE_TEST_SUITE_P(
    Berlin, PeriodTest,
    ::testing::Values(
        TPeriodCase {"NightBeforeSpringChange", TPeriodKind::ThisShift, "08:00;20:00",
                     "2026-03-29 05:00:00", "2026-03-28 20:00:00", "2026-03-29 08:00:00", 11},
        TPeriodCase {"LastShiftIsThePreviousDay", TPeriodKind::LastShift, "08:00;20:00",
                     "2026-03-29 05:00:00", "2026-03-28 08:00:00", "2026-03-28 20:00:00", 12},
        TPeriodCase {"ShiftStartBelongsToTheNewShift", TPeriodKind::ThisShift, "08:00;20:00",
                     "2026-03-29 08:00:00", "2026-03-29 08:00:00", "2026-03-29 20:00:00", 12},
        TPeriodCase {"LastSecondOfTheNight", TPeriodKind::ThisShift, "08:00;20:00",
                     "2026-03-29 07:59:59", "2026-03-28 20:00:00", "2026-03-29 08:00:00", 11},
        TPeriodCase {"LastShiftAfterTheChange", TPeriodKind::LastShift, "08:00;20:00",
                     "2026-03-29 09:00:00", "2026-03-28 20:00:00", "2026-03-29 08:00:00", 11},
        TPeriodCase {"AutumnNightHasThirteenHours", TPeriodKind::ThisShift, "08:00;20:00",
                     "2026-10-25 03:00:00", "2026-10-24 20:00:00", "2026-10-25 08:00:00", 13},
        TPeriodCase {"SpringDayHas23Hours", TPeriodKind::Today, "08:00;20:00",
                     "2026-03-29 12:00:00", "2026-03-29 00:00:00", "2026-03-30 00:00:00", 23},
        TPeriodCase {"AutumnDayHas25Hours", TPeriodKind::Yesterday, "08:00;20:00",
                     "2026-10-26 00:30:00", "2026-10-25 00:00:00", "2026-10-26 00:00:00", 25},
        TPeriodCase {"ThreeShifts", TPeriodKind::ThisShift, "00:00;08:00;16:00",
                     "2026-03-30 17:00:00", "2026-03-30 16:00:00", "2026-03-31 00:00:00", 8},
        TPeriodCase {"ThreeShiftsLastAcrossMidnight", TPeriodKind::LastShift, "00:00;08:00;16:00",
                     "2026-03-31 07:00:00", "2026-03-30 16:00:00", "2026-03-31 00:00:00", 8},
        TPeriodCase {"OneShiftADay", TPeriodKind::ThisShift, "06:00", "2026-03-31 05:00:00",
                     "2026-03-30 06:00:00", "2026-03-31 06:00:00", 24}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ShiftStarts, ParsedSortedOrRefused)
{
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"08:00;20:00", "08:00;20:00"},
        {"20:00 08:00", "08:00;20:00"},
        {"8:00, 20:00", "08:00;20:00"},
        {"06:30", "06:30"},
        {"00:00;08:00;16:00", "00:00;08:00;16:00"},
        {"25:00", ""},
        {"08:00;abc", ""},
        {"", ""}};
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ShiftStartsText(ParseShiftStarts(QString::fromLatin1(text))),
                  QString::fromLatin1(expected))
            << text;
}

TEST(ShiftStarts, ReadFromTheStoreWithDefaultsForWhatIsMissing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Karvel_net.reg"));
    // No store at all, then a store without the value: the defaults, no complaint.
    TShiftTimes missing = ReadShiftTimes(path);
    EXPECT_EQ(ShiftStartsText(missing.starts), QStringLiteral("08:00;20:00"));
    EXPECT_TRUE(missing.error.isEmpty());
    {
        TConfigStore store(path);
        store.WriteString(kControlKey, QStringLiteral("Name"), kDefaultProgId);
        store.Flush();
    }
    missing = ReadShiftTimes(path);
    EXPECT_EQ(ShiftStartsText(missing.starts), QStringLiteral("08:00;20:00"));
    EXPECT_TRUE(missing.error.isEmpty());

    {
        TConfigStore store(path);
        store.WriteString(kControlKey, kShiftStartsValue, QStringLiteral("19:00;07:00"));
        store.Flush();
    }
    EXPECT_EQ(ShiftStartsText(ReadShiftTimes(path).starts), QStringLiteral("07:00;19:00"));

    {
        TConfigStore store(path);
        store.WriteString(kControlKey, kShiftStartsValue, QStringLiteral("7 утра"));
        store.Flush();
    }
    const TShiftTimes bad = ReadShiftTimes(path);
    EXPECT_EQ(ShiftStartsText(bad.starts), QStringLiteral("08:00;20:00"));
    EXPECT_TRUE(bad.error.contains(QStringLiteral("7 утра"))) << bad.error.toStdString();
}

TEST(BucketEdges, HoursKeepTheirRealLengthAcrossTheClockChange)
{
    const TReportPeriod autumn {Berlin("2026-10-24 20:00:00"), Berlin("2026-10-25 08:00:00")};
    ASSERT_EQ(BucketSizeFor(autumn), TBucketSize::Hour);
    const std::vector<int64_t> edges = BucketEdges(autumn, TBucketSize::Hour, kBerlin);
    ASSERT_EQ(edges.size(), 14u); // 13 hours
    for (size_t i = 1; i < edges.size(); ++i)
        EXPECT_EQ(edges[i] - edges[i - 1], kHour) << i;
}

TEST(BucketEdges, AnOddStartGetsAShortFirstHour)
{
    const TReportPeriod period {Berlin("2026-03-30 08:15:00"), Berlin("2026-03-30 10:30:00")};
    const std::vector<int64_t> edges = BucketEdges(period, TBucketSize::Hour, kBerlin);
    const std::vector<int64_t> expected = {
        Berlin("2026-03-30 08:15:00"), Berlin("2026-03-30 09:00:00"), Berlin("2026-03-30 10:00:00"),
        Berlin("2026-03-30 10:30:00")};
    EXPECT_EQ(edges, expected);
}

TEST(BucketEdges, DaysBeyondThreeDaysFollowLocalMidnight)
{
    const TReportPeriod exactlyThree {Berlin("2026-03-28 00:00:00"),
                                      Berlin("2026-03-31 00:00:00")}; // 71 hours
    EXPECT_EQ(BucketSizeFor(exactlyThree), TBucketSize::Hour);
    const TReportPeriod autumnThree {Berlin("2026-10-24 00:00:00"),
                                     Berlin("2026-10-27 00:00:00")}; // 73 hours
    EXPECT_EQ(BucketSizeFor(autumnThree), TBucketSize::Hour);

    const TReportPeriod week {Berlin("2026-03-25 00:00:00"), Berlin("2026-04-01 00:00:00")};
    ASSERT_EQ(BucketSizeFor(week), TBucketSize::Day);
    const std::vector<int64_t> edges = BucketEdges(week, TBucketSize::Day, kBerlin);
    ASSERT_EQ(edges.size(), 8u);
    EXPECT_EQ(edges[4], Berlin("2026-03-29 00:00:00"));
    EXPECT_EQ(edges[5] - edges[4], 23 * kHour);
    EXPECT_EQ(edges[6] - edges[5], 24 * kHour);
}

TEST(IsoBounds, DatesCoverWholeLocalDaysAndTimesAreMoments)
{
    EXPECT_EQ(ParseIsoBound(QStringLiteral("2026-03-29"), false, kBerlin).toMSecsSinceEpoch(),
              Berlin("2026-03-29 00:00:00"));
    EXPECT_EQ(ParseIsoBound(QStringLiteral("2026-03-29"), true, kBerlin).toMSecsSinceEpoch(),
              Berlin("2026-03-30 00:00:00"));
    EXPECT_EQ(ParseIsoBound(QStringLiteral("2026-03-29T08:00"), true, kBerlin).toMSecsSinceEpoch(),
              Berlin("2026-03-29 08:00:00"));
    EXPECT_EQ(
        ParseIsoBound(QStringLiteral("2026-03-29T08:00:00Z"), false, kBerlin).toMSecsSinceEpoch(),
        Utc("2026-03-29T08:00:00Z"));
    for (const char* bad : {"29.03.2026", "2026-02-30", "yesterday", ""})
        EXPECT_FALSE(ParseIsoBound(QString::fromLatin1(bad), false, kBerlin).isValid()) << bad;
}

} // namespace

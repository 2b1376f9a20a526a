#pragma once
// The periods a report covers, as half-open intervals [from, to) of UTC milliseconds, and
// the edges of the chart's hours or days inside a period. Shift and day boundaries are
// local times of the given zone, so a shift that spans a change of daylight saving time
// lasts an hour more or less, and so does that day.

#include "shift_times.h"

#include <QDateTime>
#include <QTimeZone>

#include <cstdint>
#include <vector>

namespace karvel::report {

enum class TPeriodKind {
    ThisShift,
    LastShift,
    Today,
    Yesterday,
    Range,
};

struct TReportPeriod {
    int64_t fromMs = 0;
    int64_t toMs = 0; // exclusive
    bool operator==(const TReportPeriod&) const = default;
};

// The period of `kind` that `now` lies in (or the one before). Range is not computed here.
TReportPeriod PeriodFor(TPeriodKind kind, const QDateTime& now, const std::vector<QTime>& shifts,
                        const QTimeZone& zone);

// The chart's grouping of time: hours up to three days, whole local days beyond.
enum class TBucketSize { Hour, Day };
TBucketSize BucketSizeFor(const TReportPeriod& period);

// from, each local full hour (or local midnight) after it, to. Bucket i is
// [edges[i], edges[i+1]); so there are edges.size() - 1 buckets.
std::vector<int64_t> BucketEdges(const TReportPeriod& period, TBucketSize size,
                                 const QTimeZone& zone);

// The local start of a day given as an ISO date "2026-03-29", or the moment of an ISO date
// and time "2026-03-29T08:00"; an invalid QDateTime for any other text. `endOfDay` takes a
// bare date to the start of the next day, so that "FROM TO" covers the day TO as well.
QDateTime ParseIsoBound(const QString& text, bool endOfDay, const QTimeZone& zone);

} // namespace karvel::report

#include "report_period.h"

#include <algorithm>

namespace karvel::report {

namespace {

constexpr int64_t kHourMs = 3600LL * 1000;
constexpr int64_t kThreeDaysMs = 3 * 24 * kHourMs;

QDateTime LocalStartOfDay(QDate date, const QTimeZone& zone)
{
    return date.startOfDay(zone);
}

// The starts of the shifts of the day before `day`, of `day` and of the day after, in
// time order: enough to find the shift around any moment of `day`.
std::vector<int64_t> ShiftStartsAround(QDate day, const std::vector<QTime>& shifts,
                                       const QTimeZone& zone)
{
    std::vector<int64_t> starts;
    for (int offset = -2; offset <= 1; ++offset) {
        const QDate date = day.addDays(offset);
        for (const QTime& time : shifts)
            starts.push_back(QDateTime(date, time, zone).toMSecsSinceEpoch());
    }
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    return starts;
}

} // namespace

TReportPeriod PeriodFor(TPeriodKind kind, const QDateTime& now, const std::vector<QTime>& shifts,
                        const QTimeZone& zone)
{
    const QDateTime local = now.toTimeZone(zone);
    const QDate today = local.date();
    switch (kind) {
    case TPeriodKind::Today:
        return {LocalStartOfDay(today, zone).toMSecsSinceEpoch(),
                LocalStartOfDay(today.addDays(1), zone).toMSecsSinceEpoch()};
    case TPeriodKind::Yesterday:
        return {LocalStartOfDay(today.addDays(-1), zone).toMSecsSinceEpoch(),
                LocalStartOfDay(today, zone).toMSecsSinceEpoch()};
    case TPeriodKind::ThisShift:
    case TPeriodKind::LastShift: {
        const std::vector<QTime> times = shifts.empty() ? DefaultShiftStarts() : shifts;
        const std::vector<int64_t> starts = ShiftStartsAround(today, times, zone);
        const int64_t nowMs = now.toMSecsSinceEpoch();
        // The last start at or before now begins this shift.
        auto current = std::upper_bound(starts.begin(), starts.end(), nowMs) - 1;
        if (kind == TPeriodKind::LastShift)
            --current;
        return {*current, *(current + 1)};
    }
    case TPeriodKind::Range:
        break;
    }
    return {};
}

TBucketSize BucketSizeFor(const TReportPeriod& period)
{
    // A three-day range across the autumn clock change is 73 hours: still three days.
    return period.toMs - period.fromMs > kThreeDaysMs + kHourMs ? TBucketSize::Day
                                                                : TBucketSize::Hour;
}

std::vector<int64_t> BucketEdges(const TReportPeriod& period, TBucketSize size,
                                 const QTimeZone& zone)
{
    std::vector<int64_t> edges {period.fromMs};
    if (period.toMs <= period.fromMs)
        return edges;
    const QDateTime from = QDateTime::fromMSecsSinceEpoch(period.fromMs, zone);
    if (size == TBucketSize::Day) {
        for (QDate day = from.date().addDays(1);; day = day.addDays(1)) {
            const int64_t edge = LocalStartOfDay(day, zone).toMSecsSinceEpoch();
            if (edge >= period.toMs)
                break;
            edges.push_back(edge);
        }
    } else {
        // Local full hours are whole UTC hours apart except in zones with a fractional
        // offset change; stepping from the local full hour keeps the real length of each.
        const QDateTime hourStart(from.date(), QTime(from.time().hour(), 0), zone);
        int64_t edge = std::min<int64_t>(hourStart.toMSecsSinceEpoch(), period.fromMs);
        for (edge += kHourMs; edge < period.toMs; edge += kHourMs)
            if (edge > period.fromMs)
                edges.push_back(edge);
    }
    edges.push_back(period.toMs);
    return edges;
}

QDateTime ParseIsoBound(const QString& text, bool endOfDay, const QTimeZone& zone)
{
    const QDate date = QDate::fromString(text, Qt::ISODate);
    if (date.isValid() && text.size() == 10)
        return LocalStartOfDay(endOfDay ? date.addDays(1) : date, zone);
    QDateTime moment = QDateTime::fromString(text, Qt::ISODate);
    if (!moment.isValid())
        return {};
    if (moment.timeSpec() == Qt::LocalTime) // no offset written: a time of the zone
        moment = QDateTime(moment.date(), moment.time(), zone);
    return moment;
}

} // namespace karvel::report

#pragma once
// A ledger of known changes around the shift and day boundaries of two days with a
// change of daylight saving time in Europe/Berlin: the spring day 2026-03-29 (02:00 CET
// becomes 03:00 CEST, a day of 23 hours) and the autumn day 2026-10-25 (03:00 CEST
// becomes 02:00 CET, a day of 25 hours).

#include "ledger.h"
#include "ledger_rows.h"

#include <QDateTime>
#include <QTimeZone>

#include <string>
#include <vector>

namespace karvel::report::testing {

inline const QTimeZone kBerlin("Europe/Berlin");

// A UTC moment written as "2026-03-29T01:00:00Z".
inline int64_t Utc(const char* iso)
{
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODateWithMs).toMSecsSinceEpoch();
}

// A local Berlin time written as "2026-03-29 08:00:00".
inline int64_t Berlin(const char* local)
{
    const QDateTime time =
        QDateTime::fromString(QString::fromLatin1(local), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return QDateTime(time.date(), time.time(), kBerlin).toMSecsSinceEpoch();
}

inline TRow Change(int64_t at, int line, int netNum, const char* product, double countD,
                   int state = 1)
{
    TRow row;
    row.bookedAtMs = at;
    row.utcOffsetS = kBerlin.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(at));
    row.line = line;
    row.netNum = netNum;
    row.product = product;
    row.countD = countD;
    row.countC = 1000 + countD;
    row.state = state;
    return row;
}

inline std::vector<TRow> KnownChanges()
{
    return {
        // Spring: the night shift of the 28th to the 29th lasts 11 hours.
        Change(Berlin("2026-03-28 07:59:59"), 1, 5, "Пшеница", 100), // night 27/28
        Change(Berlin("2026-03-28 08:00:00"), 1, 5, "Пшеница", 200), // day 28
        Change(Berlin("2026-03-28 19:59:59") + 999, 2, 7, "Рожь", 50.5), // day 28
        Change(Berlin("2026-03-28 20:00:00"), 2, 7, "Рожь", 25.25), // night 28/29
        Change(Berlin("2026-03-28 23:59:59"), 1, 6, "Пшеница", 10), // night, day 28
        Change(Berlin("2026-03-29 00:00:00"), 3, 1, "Овёс", 1), // night, day 29
        Change(Utc("2026-03-29T00:59:59Z"), 3, 1, "Овёс", 2), // 01:59:59 CET
        Change(Utc("2026-03-29T01:00:00Z"), 3, 1, "Овёс", 4), // 03:00:00 CEST
        Change(Berlin("2026-03-29 07:59:59"), 4, 30, "Рожь", 8, 0), // night, waiting
        Change(Berlin("2026-03-29 08:00:00"), 4, 30, "Рожь", 16, 2), // day 29, set aside
        Change(Berlin("2026-03-29 12:00:00"), 4, 30, "Рожь", 32, 3), // day 29, discarded
        Change(Berlin("2026-03-29 13:00:00"), 2, 8, "Смесь \"A; B\"\r\nвторая строка", 0.125,
               -1), // day 29, no delivery row for the bus
        // Autumn: 02:30 comes twice; the night shift of the 24th to the 25th lasts 13 hours.
        Change(Berlin("2026-10-24 20:00:00"), 1, 1, "Пшеница", 1), // night 24/25
        Change(Utc("2026-10-25T00:30:00Z"), 1, 1, "Пшеница", 2), // 02:30 CEST
        Change(Utc("2026-10-25T01:30:00Z"), 1, 1, "Пшеница", 4), // 02:30 CET
        Change(Berlin("2026-10-25 07:59:59"), 1, 2, "Пшеница", 8), // night 24/25
        Change(Berlin("2026-10-25 08:00:00"), 1, 2, "Пшеница", 16), // day 25
    };
}

inline const std::string kStation = "7f1c2a9e-report-test";

// Written by the ledger itself, change by change as the program books them, with the
// delivery states of KnownChanges(); the changes as appended (sequence numbers and ids
// filled in) go to `appended`.
inline bool WriteKnownLedger(const std::string& path,
                             std::vector<TLedgerChange>* appended = nullptr)
{
    TLedger ledger;
    if (!ledger.Open(path, kStation))
        return false;
    for (const TRow& row : KnownChanges()) {
        ledger.SetSinks(row.state < 0 ? std::vector<std::string> {}
                                      : std::vector<std::string> {ledger::kSinkDbus});
        TLedgerChange change;
        change.bookedAtMs = row.bookedAtMs;
        change.utcOffsetS = row.utcOffsetS;
        change.line = row.line;
        change.netNum = row.netNum;
        change.product = row.product;
        change.countC = row.countC;
        change.countD = row.countD;
        if (!ledger.Append(change))
            return false;
        bool ok = true;
        switch (row.state) {
        case 1:
            ok = ledger.MarkDelivered(change.seq, ledger::kSinkDbus);
            break;
        case 2:
            ok = ledger.SetAside(change.seq, ledger::kSinkDbus, "refused");
            break;
        case 3:
            ok = ledger.SetAside(change.seq, ledger::kSinkDbus, "refused") &&
                ledger.Discard(change.seq, ledger::kSinkDbus);
            break;
        default:
            break;
        }
        if (!ok)
            return false;
        if (appended)
            appended->push_back(change);
    }
    return true;
}

} // namespace karvel::report::testing

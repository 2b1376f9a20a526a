#pragma once
// Sums of booked weight per network number: as the program booked them (its status
// texts) and as the accounting server received them (its memo lines). In hundredths of
// a kilogram: the terminals of these tests weigh with two decimals.

#include "soak_ledger.h"

#include <QRegularExpression>
#include <QStringList>

#include <cmath>
#include <map>

namespace karvel::robust {

struct TBookingSums {
    std::map<int, int64_t> raw; // by network number
    int count = 0;
};

inline TBookingSums SumsOfStatus(const QStringList& status)
{
    static const QRegularExpression pattern(QStringLiteral("; № (\\d+); C: [^;]*; d: (-?[0-9.]+)"));
    TBookingSums sums;
    for (const QString& text : status) {
        const auto m = pattern.match(text);
        if (!m.hasMatch())
            continue;
        sums.raw[m.captured(1).toInt()] += std::llround(m.captured(2).toDouble() * 100);
        ++sums.count;
    }
    return sums;
}

inline TBookingSums SumsOfMemo(const std::vector<soak::TMemoBooking>& memo)
{
    TBookingSums sums;
    for (const soak::TMemoBooking& b : memo) {
        sums.raw[b.net] += std::llround(b.countD * 100);
        ++sums.count;
    }
    return sums;
}

} // namespace karvel::robust

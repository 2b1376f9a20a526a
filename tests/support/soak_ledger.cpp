#include "soak_ledger.h"

#include <QFile>
#include <QRegularExpression>

#include <cmath>

namespace karvel::soak {

namespace {

int64_t ToRaw(double kg, int decimals)
{
    return std::llround(kg * std::pow(10.0, decimals));
}

double ToKg(int64_t raw, int decimals)
{
    return static_cast<double>(raw) / std::pow(10.0, decimals);
}

const TSoakTerminal* Configured(const std::vector<TSoakLine>& lines, int line, int net)
{
    for (const TSoakLine& l : lines)
        if (l.number == line)
            for (const TSoakTerminal& t : l.terminals)
                if (t.net == net)
                    return &t;
    return nullptr;
}

} // namespace

std::optional<TMemoBooking> ParseMemoLine(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral(
        "Линия (\\d+); Продукт: (.*) Сетевой номер:(\\d+);  С:(-?[0-9.]+);  D:(-?[0-9.]+)$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return TMemoBooking {match.captured(1).toInt(), match.captured(2), match.captured(3).toInt(),
                         match.captured(4).toDouble(), match.captured(5).toDouble()};
}

std::vector<TMemoBooking> ReadMemoLog(const QString& path)
{
    std::vector<TMemoBooking> bookings;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return bookings;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (const auto booking = ParseMemoLine(QString::fromUtf8(line)))
            bookings.push_back(*booking);
    return bookings;
}

TLedgerResult Compare(const TLedgerInput& input)
{
    TLedgerResult result;
    std::map<TTerminalKey, int64_t> bookedRaw;
    std::map<TTerminalKey, int> received;
    for (const TMemoBooking& b : input.memo) {
        const TSoakTerminal* t = Configured(input.lines, b.line, b.net);
        if (t == nullptr || t->product != b.product) {
            ++result.wrong;
            continue;
        }
        const TTerminalKey key {b.line, b.net};
        const auto truth = input.truth.find(key);
        bookedRaw[key] += ToRaw(b.countD, truth != input.truth.end() ? truth->second.decimals : 2);
        ++received[key];
    }
    result.report << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
                         .arg("line", 4)
                         .arg("net", 4)
                         .arg("weighed kg", 12)
                         .arg("booked kg", 12)
                         .arg("diff kg", 10)
                         .arg("link lost", 10)
                         .arg("booked", 7)
                         .arg("received", 8);
    for (const auto& [key, truth] : input.truth) {
        const int64_t weighed = truth.passedEndRaw - truth.passedStartRaw;
        const int64_t booked = bookedRaw[key];
        const double diff = ToKg(booked - weighed, truth.decimals);
        const auto lossIt = input.linkLosses.find(key);
        const int losses = lossIt != input.linkLosses.end() ? lossIt->second : 0;
        const auto coreIt = input.coreBookings.find(key);
        const int core = coreIt != input.coreBookings.end() ? coreIt->second : 0;
        const int got = received[key];
        result.differenceKg += diff;
        if (core > got)
            result.lost += core - got;
        else
            result.duplicated += got - core;
        result.report << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
                             .arg(key.first, 4)
                             .arg(key.second, 4)
                             .arg(ToKg(weighed, truth.decimals), 12, 'f', truth.decimals)
                             .arg(ToKg(booked, truth.decimals), 12, 'f', truth.decimals)
                             .arg(diff, 10, 'f', truth.decimals)
                             .arg(losses, 10)
                             .arg(core, 7)
                             .arg(got, 8);
    }
    return result;
}

} // namespace karvel::soak

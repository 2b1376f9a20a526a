#include "d_karvel.h"

#include "bcd.h"
#include "fixed_text.h"

#include <cmath>

namespace karvel {

namespace {

constexpr size_t kMaxText = 30;

uint8_t ByteAt(Packet packet, size_t index)
{
    return index < packet.size() ? packet[index] : 0;
}

bool Bit(uint8_t byte, int bit)
{
    return ((byte >> bit) & 1) != 0;
}

void SetText(std::string& text, double value, int decimals, int precision)
{
    FixedText(value, decimals, precision, text);
    if (text.size() > kMaxText)
        text.resize(kMaxText);
}

int32_t PowerOfTen(int exponent)
{
    int32_t result = 1;
    for (int i = 0; i < exponent; ++i)
        result *= 10;
    return result;
}

// Raw integer of a dosing value as the window stored it: the nearest whole number (halves to
// even), kept inside what six BCD digits can carry.
uint32_t RawDosingValue(double value)
{
    const double rounded = std::nearbyint(value);
    if (!(rounded > 0))
        return 0;
    return rounded > 999999 ? 999999u : static_cast<uint32_t>(rounded);
}

// One answer code: the decoder it calls and the request cycle position after it.
struct Dispatch {
    uint8_t code;
    void (TDoz_Karvel::*decode)(Packet);
    int nextStatus; // -1: the following counter
};

constexpr int kNextCounter = -1; // the next counter of the cycle, after the last the weight

constexpr Dispatch kDispatch[] = {
    {CodeWeight, &TDoz_Karvel::Reading_Weight, StatusInputs},
    {CodeInputs, &TDoz_Karvel::Reading_DI, StatusOutputs},
    {CodeOutputs, &TDoz_Karvel::Reading_DO, StatusState},
    {CodeState, &TDoz_Karvel::Reading_State, StatusCounterC},
    {CodeCounter, &TDoz_Karvel::Reading_Count, kNextCounter},
    {CodeReadDoz, &TDoz_Karvel::Reading_Doz, StatusWeight},
    {CodeWriteDoz, nullptr, StatusWeight},
    {CodeCommand, nullptr, StatusWeight},
};

// The request for each Status: code and, where it has one, the argument byte.
struct Request {
    uint8_t code;
    int argument; // -1: none
};

// Indexed by TRequestStatus.
constexpr Request kRequests[] = {
    {CodeWeight, -1}, // StatusWeight
    {CodeInputs, -1}, // StatusInputs
    {CodeOutputs, -1}, // StatusOutputs
    {CodeState, -1}, // StatusState
    {CodeCounter, 1}, // StatusCounterC
    {CodeCounter, 3}, // StatusCounterN
    {CodeCounter, 4}, // StatusCounterE
    {CodeCounter, 6}, // StatusCounterD
    {CodeCounter, 8}, // StatusCounterP
    {CodeCounter, 9}, // StatusCounterT
    {CodeReadDoz, -1}, // StatusReadDoz
    {CodeWriteDoz, -1}, // StatusWriteDoz: made by MakeWriteDoz
    {CodeCommand, 1}, // StatusStart
    {CodeCommand, 0}, // StatusStop
    {CodeCommand, 4}, // StatusProhod
    {CodeCommand, 2}, // StatusPause
    {CodeCommand, 3}, // StatusResPause
    {CodeCommand, 5}, // StatusResCicle
    {CodeCommand, 6}, // StatusResPopoln
    {CodeCommand, 7}, // StatusZerCounters
    {CodeCommand, 9}, // StatusResErrors
};
static_assert(std::size(kRequests) == StatusCount, "a request for every status");
constexpr uint16_t kLastCounterStatus = StatusCounterT;

} // namespace

TDoz_Karvel::TDoz_Karvel(uint8_t netNumber) : NetNum(netNumber)
{
    OutArray[0] = NetNum;
    OutArray[1] = CodeWeight;
    OutCol = 2;
}

void TDoz_Karvel::Exec(Packet packet)
{
    if (!Connect) {
        if (FOnConnectTrue)
            FOnConnectTrue(NetNum);
        Connect = true;
    }
    ErrorCount = 0;
    DispatchResponse(packet);
    MakeRequest(OutArray, OutCol);
}

void TDoz_Karvel::BedResponse()
{
    if (ErrorCount < kErrorCountLimit)
        ++ErrorCount;
    if (ErrorCount != kLinkLostAt)
        return;
    if (FOnConnectFalse)
        FOnConnectFalse(NetNum);
    Connect = false;
    Weight = " ??? ";
    C_is_cheng = false;
    // The booked total is kept: after the link returns only what was weighed since the
    // last booking is booked, never everything booked before the loss a second time.
}

void TDoz_Karvel::DispatchResponse(Packet packet)
{
    const uint8_t code = ByteAt(packet, 1);
    for (const Dispatch& entry : kDispatch) {
        if (entry.code != code)
            continue;
        if (entry.decode)
            (this->*entry.decode)(packet);
        if (entry.nextStatus != kNextCounter)
            Status = static_cast<uint16_t>(entry.nextStatus);
        else
            Status = (Status + 1 > kLastCounterStatus) ? uint16_t {StatusWeight}
                                                       : static_cast<uint16_t>(Status + 1);
        break;
    }
    // A command recorded meanwhile, even by an event raised just now, is the next request.
    if (subStatus != 0) {
        Status = subStatus;
        subStatus = 0;
    }
}

void TDoz_Karvel::MakeRequest(std::array<uint8_t, kOutSize>& outArray, uint16_t& outCol)
{
    if (Status >= std::size(kRequests))
        return;
    if (Status == StatusWriteDoz) {
        MakeWriteDoz();
        return;
    }
    const Request& request = kRequests[Status];
    outArray[0] = NetNum;
    outArray[1] = request.code;
    outCol = 2;
    if (request.argument >= 0) {
        outArray[2] = static_cast<uint8_t>(request.argument);
        outCol = 3;
    }
}

void TDoz_Karvel::Reading_Weight(Packet packet)
{
    const uint8_t format = ByteAt(packet, 5);
    const int decimals = format & 7;
    DelDecPoint = PowerOfTen(decimals);
    const double divisor = Bit(format, 7) ? -DelDecPoint : DelDecPoint;
    const int32_t raw = BCD3B(packet, 2);
    SetText(Weight, raw / divisor, decimals, kWeightPrecision);
    Pos = decimals;
}

void TDoz_Karvel::Reading_DI(Packet packet)
{
    for (int i = 0; i < 8; ++i) {
        Input[i] = Bit(ByteAt(packet, 2), i);
        Input[8 + i] = Bit(ByteAt(packet, 3), i);
    }
}

void TDoz_Karvel::Reading_DO(Packet packet)
{
    // The older model reports its eight outputs inverted.
    for (int i = 0; i < 8; ++i)
        Output[i] = !Bit(ByteAt(packet, 2), i);
}

void TDoz_Karvel::Reading_State(Packet packet)
{
    const uint8_t s = ByteAt(packet, 2);
    const bool wasActive = DozSysStatus.Loading || DozSysStatus.UnLoading;
    if (wasActive && (s & 0x06) == 0)
        ++StopCounter;
    DozSysStatus.UnLoading = Bit(s, 1);
    DozSysStatus.Loading = Bit(s, 2);
    DozSysStatus.StopPause = Bit(s, 3);
    if (Bit(s, 0)) {
        DozSysStatus.UnLoading = true;
        DozSysStatus.Loading = true;
    }
    if (StopCounter > 0 && StopCounter < 12)
        ++StopCounter;
    if (StopCounter == 7 && FOnStopWeightSystemEvent) {
        StopCounter = 0;
        FOnStopWeightSystemEvent(static_cast<uint8_t>(ExternNum & 0xFF));
    }
    if (DozSysStatus.Loading || DozSysStatus.UnLoading)
        StopCounter = 0;
}

void TDoz_Karvel::Reading_Count(Packet packet)
{
    const uint8_t number = ByteAt(packet, 2);
    const int64_t raw = BCD5B(packet, 3);
    const double value = static_cast<double>(raw);
    switch (number) {
    case 1:
        Count.C = value / WeightDivisor();
        SetText(Count.Ct, Count.C, Pos, kCounterPrecision);
        TakeTotal(Count.C);
        break;
    case 3:
        Count.n = raw;
        SetText(Count.nt, value, 0, kCounterPrecision);
        break;
    case 4:
        Count.E = value / WeightDivisor();
        SetText(Count.Et, Count.E, Pos, kCounterPrecision);
        break;
    case 6:
        Count.d = value / WeightDivisor();
        SetText(Count.dt, Count.d, Pos, kCounterPrecision);
        if (C_is_cheng)
            BookChange();
        break;
    case 8:
        Count.P = value / WeightDivisor();
        SetText(Count.Pt, Count.P, Pos, kCounterPrecision);
        break;
    case 9:
        Count.t = value / 10;
        SetText(Count.tt, Count.t, Pos, kCounterPrecision);
        break;
    default:
        break;
    }
}

// A change of the total counts once it has read the same four times in a row.
void TDoz_Karvel::TakeTotal(double total)
{
    if (total == Count.Stab_CVal) {
        if (Count.stab_C < 3)
            ++Count.stab_C;
    } else {
        Count.stab_C = 0;
    }
    Count.Stab_CVal = total;
    if (Count.stab_C < 3)
        return;
    if (FirstReadFlagC) {
        FirstReadFlagC = false;
        c_old = total; // the baseline: nothing is booked
        return;
    }
    if (total == c_old)
        return;
    if (total == 0 && c_old > 0)
        return; // the terminal's total was cleared: wait for it to grow again
    C_is_cheng = true;
}

// Books the confirmed change at the reading of the last portion.
void TDoz_Karvel::BookChange()
{
    C_is_cheng = false;
    const bool nothingWeighed = Count.C == 0 && Count.d == 0;
    if (!nothingWeighed && FOnChangeCount) {
        if (Count.C - c_old > 0) {
            const double growth = Count.C - c_old;
            std::string growthText;
            SetText(growthText, growth, Pos, kCounterPrecision);
            FOnChangeCount(NetNum, growth, Count.C, growthText, Count.Ct);
        } else {
            // The total fell below the baseline (counters cleared): book the last portion.
            FOnChangeCount(NetNum, Count.d, Count.C, Count.dt, Count.Ct);
        }
    }
    c_old = Count.C;
}

void TDoz_Karvel::Reading_Doz(Packet packet)
{
    // The four-digit values travel in two bytes; a zero byte completes them.
    const std::array<uint8_t, 3> hold {ByteAt(packet, 5), ByteAt(packet, 6), 0};
    const std::array<uint8_t, 3> gate {ByteAt(packet, 7), ByteAt(packet, 8), 0};
    const double divisor = WeightDivisor();
    DosageStructure.TankageLadel = BCD3B(packet, 2) / divisor;
    DosageStructure.TVidergki = BCD3B(hold, 0) / 10.0;
    DosageStructure.TDampers = BCD3B(gate, 0) / 10.0;
    DosageStructure.WLadel = BCD3B(packet, 9) / divisor;
    DosageStructure.Capacity = BCD3B(packet, 12) / divisor;
    DosageStructure.OSigma = BCD3B(packet, 15) / (divisor * 10);
    if (FOnReadDozeParam)
        FOnReadDozeParam(static_cast<uint8_t>(Pos & 0xFF), static_cast<uint8_t>(ExternNum & 0xFF),
                         DosageStructure);
}

void TDoz_Karvel::MakeWriteDoz()
{
    OutArray[0] = NetNum;
    OutArray[1] = CodeWriteDoz;
    std::array<uint8_t, 3> bcd {};
    auto put = [&](double value, int at, int bytes) {
        WordToBCD(RawDosingValue(value), bcd);
        for (int i = 0; i < bytes; ++i)
            OutArray[static_cast<size_t>(at + i)] = bcd[static_cast<size_t>(i)];
    };
    put(DosageStructure.TankageLadel, 2, 3);
    put(DosageStructure.TVidergki, 5, 2);
    put(DosageStructure.TDampers, 7, 2);
    put(DosageStructure.WLadel, 9, 3);
    put(DosageStructure.Capacity, 12, 3);
    put(DosageStructure.OSigma, 15, 3);
    OutCol = 18;
}

} // namespace karvel

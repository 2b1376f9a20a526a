#include "sim_terminal.h"

#include "bcd.h"
#include "sim_bcd.h"
#include "sim_signals.h"
#include "sim_text.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace karvel::sim {

namespace {

constexpr int kDosingBytes = 16;
constexpr uint32_t kSixDigits = 999999;

void AppendBcd3(std::vector<uint8_t>& out, uint32_t value, int bytes)
{
    std::array<uint8_t, 3> bcd {};
    WordToBCD(value, bcd);
    out.insert(out.end(), bcd.begin(), bcd.begin() + bytes);
}

uint32_t ReadBcd(std::span<const uint8_t> data, int offset, int bytes)
{
    std::array<uint8_t, 3> field {};
    for (int i = 0; i < bytes; ++i)
        field[static_cast<size_t>(i)] = data[static_cast<size_t>(offset + i)];
    return static_cast<uint32_t>(BCD3B(field, 0));
}

// "0 1 15" for the set bits, "none" when none is.
std::string ActiveList(uint16_t bits)
{
    std::string text;
    for (int i = 0; i < 16; ++i) {
        if (bits & (1u << i))
            text += (text.empty() ? "" : " ") + std::to_string(i);
    }
    return text.empty() ? "none" : text;
}

const char* CounterName(uint8_t number)
{
    switch (number) {
    case 1:
        return "C total";
    case 3:
        return "n portions";
    case 4:
        return "E limited sum";
    case 6:
        return "d last portion";
    case 8:
        return "P productivity";
    case 9:
        return "t cycle time";
    default:
        return "unused";
    }
}

} // namespace

int RequestLength(uint8_t code)
{
    switch (code) {
    case CodeWeight:
    case CodeInputs:
    case CodeOutputs:
    case CodeState:
    case CodeReadDoz:
        return 2;
    case CodeCounter:
    case CodeCommand:
        return 3;
    case CodeWriteDoz:
        return 2 + kDosingBytes;
    default:
        return 0;
    }
}

const char* ModelName(Model model)
{
    return model == Model::KR100 ? "KR100" : "KR200";
}

TSimTerminal::TSimTerminal(const TTerminalConfig& config, int64_t cycleMs, uint64_t seed,
                           int64_t nowMs)
    : config_(config), cycle_(cycleMs, config.portionRaw, seed, nowMs)
{
    dosing_.portion = config.portionRaw;
    dosing_.emptyWeight = config.portionRaw / 100;
    // The set productivity is the one the cycle gives: kg per cycle as t/h.
    const int64_t cycle = std::max(cycleMs, TWeighingCycle::kMinCycleMs);
    dosing_.capacity = static_cast<uint32_t>(
        std::min<int64_t>(kSixDigits, int64_t {config.portionRaw} * 3600 / cycle));
}

std::vector<uint8_t> TSimTerminal::WeightPacket(uint8_t net, int64_t weightRaw, int decimals)
{
    std::vector<uint8_t> packet {net, CodeWeight};
    const uint64_t magnitude = static_cast<uint64_t>(std::llabs(weightRaw));
    AppendBcd3(packet, static_cast<uint32_t>(std::min<uint64_t>(magnitude, kSixDigits)), 3);
    packet.push_back(static_cast<uint8_t>((decimals & 0x07) | (weightRaw < 0 ? 0x80 : 0)));
    return packet;
}

std::vector<uint8_t> TSimTerminal::CounterPacket(uint8_t net, uint8_t number, uint64_t value)
{
    std::vector<uint8_t> packet {net, CodeCounter, number, 0, 0, 0, 0, 0};
    PackBcd(value, std::span<uint8_t>(packet).subspan(3));
    return packet;
}

std::string TSimTerminal::WeightText(int64_t raw) const
{
    return RawText(raw, config_.decimals);
}

TAnswer TSimTerminal::Respond(std::span<const uint8_t> request, int64_t nowMs)
{
    cycle_.Advance(nowMs);
    if (request.size() < 2)
        return {{}, "too short, not answered"};
    const uint8_t code = request[1];
    const int expected = RequestLength(code);
    if (expected == 0)
        return {{}, "unknown request code, not answered"};
    if (static_cast<int>(request.size()) != expected)
        return {{}, "request of wrong length, not answered"};

    const Model model = config_.model;
    switch (code) {
    case CodeWeight: {
        const int64_t w = cycle_.WeightRaw();
        return {WeightPacket(config_.net, w, config_.decimals), "weight " + WeightText(w)};
    }
    case CodeInputs: {
        const uint16_t in = InputsOf(model, cycle_);
        auto packet = Head(CodeInputs);
        packet.push_back(static_cast<uint8_t>(in & 0xFF));
        packet.push_back(static_cast<uint8_t>(in >> 8));
        return {packet, "inputs on: " + ActiveList(in)};
    }
    case CodeOutputs: {
        const uint16_t out = OutputsOf(model, cycle_);
        auto packet = Head(CodeOutputs);
        if (model == Model::KR200) {
            packet.push_back(static_cast<uint8_t>(out & 0xFF));
            packet.push_back(static_cast<uint8_t>(out >> 8));
        } else {
            packet.push_back(static_cast<uint8_t>(~out & 0xFF)); // KR-100 outputs are inverted
        }
        return {packet, "outputs active: " + ActiveList(out)};
    }
    case CodeState: {
        auto packet = Head(CodeState);
        packet.push_back(cycle_.StateBits());
        const uint8_t bits = cycle_.StateBits();
        return {packet,
                bits == 0x08       ? "state: stop/pause"
                    : bits == 0x02 ? "state: unloading"
                    : bits == 0x04 ? "state: loading"
                                   : "state: product pass"};
    }
    case CodeCounter:
        return RespondCounter(request[2]);
    case CodeReadDoz:
        return RespondReadDosing();
    case CodeWriteDoz:
        return RespondWriteDosing(request.subspan(2));
    case CodeCommand:
        return RespondCommand(request[2]);
    default:
        return {{}, "not answered"};
    }
}

TAnswer TSimTerminal::RespondCounter(uint8_t number)
{
    if (number > 9)
        return {{}, "counter number above 9, not answered"};
    const TCycleCounters& c = cycle_.Counters();
    uint64_t value = 0;
    std::string text;
    switch (number) {
    case 1:
        value = c.C;
        break;
    case 3:
        value = c.n;
        break;
    case 4:
        value = c.E;
        break;
    case 6:
        value = c.d;
        break;
    case 8:
        value = c.P;
        break;
    case 9:
        value = c.t;
        break;
    default:
        break; // the other counters read 0
    }
    if (number == 3)
        text = std::to_string(value);
    else if (number == 9)
        text = RawText(static_cast<int64_t>(value), 1) + " s";
    else
        text = WeightText(static_cast<int64_t>(value));
    return {CounterPacket(config_.net, number, value),
            "counter " + std::to_string(number) + " (" + CounterName(number) + ") " + text};
}

TAnswer TSimTerminal::RespondReadDosing() const
{
    auto packet = Head(CodeReadDoz);
    AppendBcd3(packet, dosing_.portion, 3);
    AppendBcd3(packet, dosing_.holdTime, 2);
    AppendBcd3(packet, dosing_.gateTime, 2);
    AppendBcd3(packet, dosing_.emptyWeight, 3);
    AppendBcd3(packet, dosing_.capacity, 3);
    AppendBcd3(packet, dosing_.limitedDose, 3);
    return {packet, "dosing parameters, portion " + WeightText(dosing_.portion)};
}

TAnswer TSimTerminal::RespondWriteDosing(std::span<const uint8_t> data)
{
    // A terminal refuses what is not a number; the master then sees no acknowledgement.
    if (!IsDecimalBcd(data))
        return {{}, "dosing parameters with a non-decimal digit, refused"};
    TDosingParameters d;
    d.portion = ReadBcd(data, 0, 3);
    d.holdTime = ReadBcd(data, 3, 2);
    d.gateTime = ReadBcd(data, 5, 2);
    d.emptyWeight = ReadBcd(data, 7, 3);
    d.capacity = ReadBcd(data, 10, 3);
    d.limitedDose = ReadBcd(data, 13, 3);
    dosing_ = d;
    cycle_.SetPortion(d.portion);
    cycle_.SetDoseLimit(uint64_t {d.limitedDose} * 100); // t x 10 -> kg, same decimals
    return {Head(CodeWriteDoz), "dosing parameters written, portion " + WeightText(d.portion)};
}

TAnswer TSimTerminal::RespondCommand(uint8_t command)
{
    const bool kr100 = config_.model == Model::KR100;
    std::string what;
    switch (command) {
    case kCmdStop:
        cycle_.Stop();
        what = "stop";
        break;
    case kCmdStart:
        cycle_.Start();
        what = "start";
        break;
    case kCmdBlock:
        if (kr100) {
            cycle_.ResetCycle();
            what = "reset of the current cycle";
        } else {
            cycle_.Block();
            what = "block of the loading cycle";
        }
        break;
    case kCmdRelease:
        cycle_.Release();
        what = "release of the loading cycle";
        break;
    case kCmdPass:
        cycle_.ProductPass();
        what = "open for product pass";
        break;
    case kCmdResetCycle:
        cycle_.ResetCycle();
        what = "cycle reset";
        break;
    case kCmdReplenishOff:
        cycle_.ReplenishmentOff();
        what = "replenishment off";
        break;
    case kCmdZeroCounters:
        cycle_.ZeroShiftCounters();
        what = "shift counters zeroed";
        break;
    case kCmdResetError:
        cycle_.ResetError();
        what = "error reset";
        break;
    default:
        // Acknowledged without effect, so that the master does not repeat it for ever.
        what = "unknown command, acknowledged without effect";
        break;
    }
    return {Head(CodeCommand), "command " + std::to_string(command) + ": " + what};
}

} // namespace karvel::sim

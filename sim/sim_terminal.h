#pragma once
// One simulated weighing terminal: its configuration, dosing parameters and weighing
// cycle, and the answer it gives to each request addressed to it.

#include "sim_cycle.h"

#include "d_karvel.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace karvel::sim {

struct TTerminalConfig {
    uint8_t net = 1;
    Model model = Model::KR200;
    std::string product;
    int decimals = 2; // decimals of the terminal's weights, 0..7
    uint32_t portionRaw = 5000; // portion set-point in units of the last decimal
};

// Dosing parameters as raw integers, exactly as they travel in packed BCD.
struct TDosingParameters {
    uint32_t portion = 0; // portion set-point, weight units, 6 digits
    uint32_t holdTime = 20; // hold time of the weight, 0.1 s, 4 digits
    uint32_t gateTime = 30; // lower gate open time, 0.1 s, 4 digits
    uint32_t emptyWeight = 0; // threshold of the empty hopper, weight units, 6 digits
    uint32_t capacity = 0; // set productivity, t/h in weight units, 6 digits
    uint32_t limitedDose = 0; // limited dose, t in weight units x 10, 6 digits
};

enum CommandCode : uint8_t {
    kCmdStop = 0,
    kCmdStart = 1,
    kCmdBlock = 2, // KR-100: reset the current cycle
    kCmdRelease = 3,
    kCmdPass = 4,
    kCmdResetCycle = 5,
    kCmdReplenishOff = 6,
    kCmdZeroCounters = 7,
    kCmdResetError = 9,
};

struct TAnswer {
    std::vector<uint8_t> packet; // network number, code, data; empty: no answer
    std::string text; // what the exchange meant, for the trace
};

class TSimTerminal {
public:
    TSimTerminal(const TTerminalConfig& config, int64_t cycleMs, uint64_t seed, int64_t nowMs);

    // Runs the cycle up to `nowMs`, then answers `request` (network number, code, data).
    // A request of unknown code or wrong length gets no answer, as on a real terminal.
    TAnswer Respond(std::span<const uint8_t> request, int64_t nowMs);

    const TTerminalConfig& Config() const { return config_; }
    const TDosingParameters& Dosing() const { return dosing_; }
    TWeighingCycle& Cycle() { return cycle_; }
    const TWeighingCycle& Cycle() const { return cycle_; }

    // Answer packets, also used by the tests to state expected bytes.
    static std::vector<uint8_t> WeightPacket(uint8_t net, int64_t weightRaw, int decimals);
    static std::vector<uint8_t> CounterPacket(uint8_t net, uint8_t number, uint64_t value);

private:
    TAnswer RespondCounter(uint8_t number);
    TAnswer RespondReadDosing() const;
    TAnswer RespondWriteDosing(std::span<const uint8_t> data);
    TAnswer RespondCommand(uint8_t command);
    std::vector<uint8_t> Head(uint8_t code) const { return {config_.net, code}; }
    std::string WeightText(int64_t raw) const;

    TTerminalConfig config_;
    TDosingParameters dosing_;
    TWeighingCycle cycle_;
};

// Expected request length (code included, network number included) for a code; 0 when
// the terminal does not know the code.
int RequestLength(uint8_t code);
const char* ModelName(Model model);

} // namespace karvel::sim

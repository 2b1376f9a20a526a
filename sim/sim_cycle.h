#pragma once
// The weighing cycle of one simulated terminal: loading, weighing (the weight settles and
// is fixed), unloading, with the counters a terminal keeps. Time is handed in by the
// caller in milliseconds; nothing here reads a clock.

#include "sim_random.h"

#include <cstdint>

namespace karvel::sim {

enum class Model : uint8_t { KR100, KR200 };
enum class Phase : uint8_t { Loading, Weighing, Unloading };

// Raw counter values as the terminal sends them: weights in units of the terminal's last
// decimal, the cycle time in tenths of a second.
struct TCycleCounters {
    uint64_t C = 0; // total weight
    uint64_t n = 0; // portions
    uint64_t E = 0; // limited sum
    uint64_t d = 0; // last portion
    uint64_t P = 0; // productivity, t/h
    uint64_t t = 0; // cycle time, 0.1 s
};

class TWeighingCycle {
public:
    // Share of the cycle each phase takes, in percent.
    static constexpr int kLoadingShare = 50;
    static constexpr int kWeighingShare = 20;
    static constexpr int64_t kMinCycleMs = 20;

    // The cycle starts running at a phase position drawn from `seed`, so that terminals
    // of one line do not move in lockstep.
    TWeighingCycle(int64_t cycleMs, uint32_t portionRaw, uint64_t seed, int64_t nowMs);

    void Advance(int64_t nowMs);

    // Commands of the terminal.
    void Start();
    void Stop();
    void Block();
    void Release();
    void ProductPass();
    void ResetCycle();
    void ReplenishmentOff();
    void ZeroShiftCounters();
    void ResetError();

    // Process events: a weigher fault (halts until an error reset) and an outlet that is
    // full (unloading waits). Random ones are drawn per cycle with the given rates.
    void RaiseError() { error_ = true; }
    void SetOutletFull(bool full) { outletManual_ = full; }
    void SetEventRates(double errorRate, double outletRate);

    void SetPortion(uint32_t raw) { portion_ = raw; }
    uint32_t Portion() const { return portion_; }
    // The limited dose as a limit of the limited sum E (raw); 0 = no limit.
    void SetDoseLimit(uint64_t raw) { doseLimit_ = raw; }

    // What the terminal shows.
    Phase CurrentPhase() const { return phase_; }
    bool Running() const { return running_; }
    bool Blocked() const { return blocked_; }
    bool Error() const { return error_; }
    bool Passing() const { return pass_; }
    bool OutletFull() const { return outletManual_ || outletTimer_ > 0; }
    bool ReplenishmentIsOff() const { return replenishOff_; }
    // True while the cycle moves on (not stopped, halted or held).
    bool Progressing() const;
    bool Feeding() const; // the feed (upper) gate is open
    bool FineFeeding() const; // replenishment: the fine feed at the end of loading
    bool Discharging() const; // the discharge (lower) gate is open
    int64_t WeightRaw() const; // hopper weight
    // Bit 1 unloading, bit 2 loading, bit 3 stop/pause; product pass sets bits 0..2.
    uint8_t StateBits() const;

    const TCycleCounters& Counters() const { return counters_; }
    // Everything that was weighed and counted since start; never cleared.
    uint64_t PassedRaw() const { return passed_; }
    // Product let through unweighed (product pass), at the nominal rate.
    uint64_t UnweighedRaw() const { return static_cast<uint64_t>(unweighed_); }

private:
    int64_t PhaseLength(Phase phase) const;
    void FinishPhase();
    void FixPortion();
    uint32_t DrawTarget();
    void EmptyIntoLoading();

    TSimRandom random_;
    int64_t cycleMs_;
    uint32_t portion_;
    uint64_t doseLimit_ = 0;
    double errorRate_ = 0;
    double outletRate_ = 0;

    int64_t now_;
    Phase phase_ = Phase::Loading;
    int64_t elapsed_ = 0; // ms spent in the current phase
    int64_t startWeight_ = 0; // hopper weight at the start of loading
    uint32_t target_ = 0; // weight this portion is loaded to
    int64_t lastFix_ = -1; // time of the last fixed portion

    bool running_ = true;
    bool blocked_ = false;
    bool error_ = false;
    bool pass_ = false;
    bool replenishOff_ = false;
    bool doseDone_ = false;
    bool outletManual_ = false;
    int64_t outletTimer_ = 0; // ms left of a random outlet-full event

    TCycleCounters counters_;
    uint64_t passed_ = 0;
    double unweighed_ = 0;
};

} // namespace karvel::sim

#include "sim_cycle.h"

#include <algorithm>
#include <cmath>

namespace karvel::sim {

namespace {

constexpr double kPortionSpread = 0.004; // portions scatter by +-0.4 % around the set-point
constexpr double kWithoutReplenish = 0.02; // without the fine feed a portion falls 2 % short
constexpr int kFineFeedFromPercent = 70; // the fine feed runs in the last 30 % of loading
constexpr uint64_t kCounterModulus = 10'000'000'000ull; // ten BCD digits

} // namespace

TWeighingCycle::TWeighingCycle(int64_t cycleMs, uint32_t portionRaw, uint64_t seed, int64_t nowMs)
    : random_(seed), cycleMs_(std::max(cycleMs, kMinCycleMs)), portion_(portionRaw), now_(nowMs)
{
    target_ = DrawTarget();
    int64_t offset = random_.Below(static_cast<uint32_t>(cycleMs_));
    for (Phase p : {Phase::Loading, Phase::Weighing, Phase::Unloading}) {
        if (offset < PhaseLength(p)) {
            phase_ = p;
            elapsed_ = offset;
            break;
        }
        offset -= PhaseLength(p);
    }
}

int64_t TWeighingCycle::PhaseLength(Phase phase) const
{
    const int64_t loading = cycleMs_ * kLoadingShare / 100;
    const int64_t weighing = cycleMs_ * kWeighingShare / 100;
    switch (phase) {
    case Phase::Loading:
        return loading;
    case Phase::Weighing:
        return weighing;
    case Phase::Unloading:
        return cycleMs_ - loading - weighing;
    }
    return cycleMs_;
}

void TWeighingCycle::SetEventRates(double errorRate, double outletRate)
{
    errorRate_ = errorRate;
    outletRate_ = outletRate;
}

bool TWeighingCycle::Progressing() const
{
    if (!running_ || error_ || pass_)
        return false;
    if (elapsed_ == 0 && phase_ == Phase::Loading && blocked_)
        return false; // the loading cycle is blocked: the next loading does not begin
    if (elapsed_ == 0 && phase_ == Phase::Unloading && OutletFull())
        return false; // nowhere to unload to
    return true;
}

void TWeighingCycle::Advance(int64_t nowMs)
{
    while (nowMs > now_) {
        const bool progressing = Progressing();
        int64_t step = nowMs - now_;
        if (outletTimer_ > 0)
            step = std::min(step, outletTimer_);
        if (progressing)
            step = std::min(step, PhaseLength(phase_) - elapsed_);
        step = std::max<int64_t>(step, 1);
        now_ += step;
        if (outletTimer_ > 0)
            outletTimer_ = std::max<int64_t>(0, outletTimer_ - step);
        if (pass_)
            unweighed_ += static_cast<double>(portion_) * static_cast<double>(step) /
                static_cast<double>(cycleMs_);
        if (progressing) {
            elapsed_ += step;
            if (elapsed_ >= PhaseLength(phase_))
                FinishPhase();
        }
    }
}

void TWeighingCycle::FinishPhase()
{
    elapsed_ = 0;
    switch (phase_) {
    case Phase::Loading:
        phase_ = Phase::Weighing;
        if (random_.Chance(errorRate_))
            error_ = true;
        break;
    case Phase::Weighing:
        FixPortion();
        phase_ = Phase::Unloading;
        if (random_.Chance(outletRate_))
            outletTimer_ = cycleMs_;
        break;
    case Phase::Unloading:
        EmptyIntoLoading();
        if (doseDone_) {
            running_ = false; // the limited dose is complete: the weigher stops
            doseDone_ = false;
        }
        break;
    }
}

void TWeighingCycle::FixPortion()
{
    auto& c = counters_;
    c.d = target_;
    c.C = (c.C + target_) % kCounterModulus;
    c.n = (c.n + 1) % kCounterModulus;
    c.E = (c.E + target_) % kCounterModulus;
    passed_ += target_;
    const int64_t cycle = lastFix_ >= 0 ? now_ - lastFix_ : cycleMs_;
    lastFix_ = now_;
    c.t = static_cast<uint64_t>((cycle + 50) / 100);
    // kg per cycle to t/h: (d / 1000) / (ms / 3 600 000) = d * 3600 / ms, in the same decimals.
    c.P = cycle > 0 ? static_cast<uint64_t>(std::llround(static_cast<double>(target_) * 3600.0 /
                                                         static_cast<double>(cycle)))
                    : 0;
    if (doseLimit_ > 0 && c.E >= doseLimit_)
        doseDone_ = true;
}

uint32_t TWeighingCycle::DrawTarget()
{
    double factor = 1.0 + (random_.Uniform() * 2.0 - 1.0) * kPortionSpread;
    if (replenishOff_)
        factor -= kWithoutReplenish;
    const double raw = std::round(static_cast<double>(portion_) * factor);
    return static_cast<uint32_t>(std::clamp(raw, 0.0, 999999.0));
}

void TWeighingCycle::EmptyIntoLoading()
{
    phase_ = Phase::Loading;
    elapsed_ = 0;
    startWeight_ = 0;
    target_ = DrawTarget();
}

int64_t TWeighingCycle::WeightRaw() const
{
    if (pass_)
        return 0;
    const int64_t length = PhaseLength(phase_);
    const int64_t target = target_;
    switch (phase_) {
    case Phase::Loading:
        return startWeight_ + (target - startWeight_) * elapsed_ / length;
    case Phase::Weighing:
        return target;
    case Phase::Unloading:
        return target - target * elapsed_ / length;
    }
    return 0;
}

bool TWeighingCycle::Feeding() const
{
    return pass_ || (Progressing() && phase_ == Phase::Loading);
}

bool TWeighingCycle::FineFeeding() const
{
    return Progressing() && phase_ == Phase::Loading && !replenishOff_ &&
        elapsed_ * 100 >= PhaseLength(Phase::Loading) * kFineFeedFromPercent;
}

bool TWeighingCycle::Discharging() const
{
    return pass_ || (Progressing() && phase_ == Phase::Unloading);
}

uint8_t TWeighingCycle::StateBits() const
{
    constexpr uint8_t kBoth = 0x01, kUnloading = 0x02, kLoading = 0x04, kStopPause = 0x08;
    if (pass_)
        return kBoth | kUnloading | kLoading;
    if (!Progressing())
        return kStopPause;
    return phase_ == Phase::Unloading ? kUnloading : kLoading;
}

void TWeighingCycle::Start()
{
    if (!running_ && counters_.E >= doseLimit_ && doseLimit_ > 0)
        counters_.E = 0; // a new dose begins
    running_ = true;
    pass_ = false;
    replenishOff_ = false;
}

void TWeighingCycle::Stop()
{
    running_ = false;
    pass_ = false;
}

void TWeighingCycle::Block()
{
    blocked_ = true;
}

void TWeighingCycle::Release()
{
    blocked_ = false;
}

void TWeighingCycle::ProductPass()
{
    // What is in the hopper and not yet counted flows out with the product.
    if (phase_ != Phase::Unloading)
        unweighed_ += static_cast<double>(WeightRaw());
    EmptyIntoLoading();
    pass_ = true;
}

void TWeighingCycle::ResetCycle()
{
    if (phase_ == Phase::Unloading) {
        EmptyIntoLoading(); // the portion was counted; the rest goes out
        return;
    }
    // The product in the hopper stays and is loaded up to the portion again.
    startWeight_ = std::min<int64_t>(WeightRaw(), target_);
    phase_ = Phase::Loading;
    elapsed_ = 0;
}

void TWeighingCycle::ReplenishmentOff()
{
    replenishOff_ = true;
}

void TWeighingCycle::ZeroShiftCounters()
{
    counters_.C = 0;
    counters_.n = 0;
    counters_.E = 0;
}

void TWeighingCycle::ResetError()
{
    error_ = false;
}

} // namespace karvel::sim

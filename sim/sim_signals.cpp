#include "sim_signals.h"

namespace karvel::sim {

namespace {

uint16_t Bit(bool on, int index)
{
    return on ? static_cast<uint16_t>(1u << index) : 0;
}

} // namespace

uint16_t InputsOf(Model model, const TWeighingCycle& cycle)
{
    const uint16_t gates = Bit(!cycle.Feeding(), 0) | Bit(!cycle.Discharging(), 1);
    if (model == Model::KR200)
        return gates | Bit(cycle.OutletFull(), 15);
    return gates | Bit(!cycle.OutletFull(), 6);
}

uint16_t OutputsOf(Model model, const TWeighingCycle& cycle)
{
    if (model == Model::KR200) {
        return Bit(cycle.Error(), 0) | Bit(cycle.Blocked(), 3) | Bit(cycle.Feeding(), 8) |
            Bit(cycle.FineFeeding(), 9) | Bit(cycle.Discharging(), 10);
    }
    return Bit(cycle.Feeding(), 4) | Bit(cycle.Discharging(), 5) | Bit(cycle.FineFeeding(), 6) |
        Bit(cycle.Error(), 7);
}

} // namespace karvel::sim

#pragma once
// The discrete inputs and outputs each terminal model shows for a state of its cycle.
//
// KR-200 (16 inputs, 16 outputs, not inverted on the wire):
//   input 0 feed gate closed, input 1 discharge gate closed, input 15 outlet bin full;
//   output 0 weigher fault, output 3 loading cycle blocked, output 8 feed gate,
//   output 9 fine feed (replenishment), output 10 discharge gate.
// KR-100 (inputs in two bytes, 8 outputs sent inverted: a 0 bit is an active output):
//   input 0 feed gate closed, input 1 discharge gate closed, input 6 outlet bin NOT full
//   (active low); output 4 feed gate, output 5 discharge gate, output 6 fine feed,
//   output 7 weigher fault.
// Product pass opens both gates: KR-200 outputs 8 and 10, KR-100 outputs 4 and 5.

#include "sim_cycle.h"

#include <cstdint>

namespace karvel::sim {

// Bit i = input i.
uint16_t InputsOf(Model model, const TWeighingCycle& cycle);
// Bit i = output i is active (before any inversion on the wire).
uint16_t OutputsOf(Model model, const TWeighingCycle& cycle);

} // namespace karvel::sim

#pragma once
// The record of each terminal's true counters: one JSON object per line and terminal, so
// that tests and soak runs can compare what the master booked with what really passed.

#include <cstdint>
#include <string>

namespace karvel::sim {

class TSimLine;

// One line per terminal, each ending in "\n". Fields: time_ms, net, model, product,
// decimals, C_raw, n, E_raw, d_raw, P_raw, t_raw, passed_raw (everything weighed since
// start, never cleared), passed_kg, unweighed_raw (let through by product pass),
// phase, state, running, blocked, error, outlet_full, silent.
std::string RecordLines(const TSimLine& line, int64_t timeMs);
std::string JsonString(const std::string& text);

} // namespace karvel::sim

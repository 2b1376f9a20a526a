#pragma once
// The resident memory of this process, from /proc.

#include <cstdint>

namespace karvel::soak {

// Resident set size in KiB; 0 when it cannot be read.
int64_t ResidentKiB();

} // namespace karvel::soak

#pragma once
// A small seeded generator (SplitMix64) whose sequence is the same with every compiler and
// standard library, so that a run with a given seed repeats its faults byte for byte.

#include <cstdint>

namespace karvel::sim {

class TSimRandom {
public:
    explicit TSimRandom(uint64_t seed) : state_(seed) { }

    uint64_t Next()
    {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    // Always draws, so the sequence does not depend on the rate.
    bool Chance(double rate) { return Uniform() < rate; }
    // Uniform in [0, n); 0 when n is 0.
    uint32_t Below(uint32_t n) { return n == 0 ? 0 : static_cast<uint32_t>(Next() % n); }

private:
    uint64_t state_;
};

} // namespace karvel::sim

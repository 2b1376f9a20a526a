#pragma once
// Line faults injected into the answers, decided by a seeded generator so that a run can
// be repeated exactly: answers lost, checksums spoiled, noise bytes in front of a frame,
// answers that carry another network number.

#include "sim_random.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace karvel::sim {

// Probabilities per answer, 0..1.
struct TFaultRates {
    double drop = 0;
    double corrupt = 0;
    double noise = 0;
    double wrongNet = 0;
    double late = 0; // the answer comes after the master has stopped waiting
};

struct TFaultDecision {
    bool drop = false;
    bool corrupt = false;
    uint8_t corruptDraw = 0; // picks the wrong checksum: never FF, never the right one
    std::vector<uint8_t> noise; // bytes sent before the frame, never FF
    bool wrongNet = false;
    uint8_t otherNet = 0; // 1..FE, never the terminal's own
    bool late = false;
};

class TFaultPlan {
public:
    static constexpr int kMaxNoiseBytes = 8;
    // A late answer comes this much after the usual delay: beyond the master's 140 ms wait.
    static constexpr int kLateAnswerMs = 200;

    TFaultPlan(const TFaultRates& rates, uint64_t seed) : rates_(rates), random_(seed) { }

    // One decision per answer; the draws are the same whatever the rates, apart from the
    // noise bytes, so two runs with one seed and one request sequence agree.
    TFaultDecision Decide(uint8_t ownNet);

    // The wire bytes of `packet` under `decision`, or nothing when it is dropped.
    static std::vector<uint8_t> Apply(const TFaultDecision& decision,
                                      std::span<const uint8_t> packet);
    static std::string Describe(const TFaultDecision& decision);

private:
    TFaultRates rates_;
    TSimRandom random_;
};

// The frame of a packet as the terminals send it.
std::vector<uint8_t> FramePacket(std::span<const uint8_t> packet);

} // namespace karvel::sim

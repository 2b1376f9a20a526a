#include "sim_faults.h"

#include "com_vistam.h"
#include "crc8.h"

namespace karvel::sim {

namespace {

constexpr uint8_t kFrameByte = 0xFF;

// A value from 0..FE other than `avoid`, from a draw in 0..253.
uint8_t OtherThan(uint8_t avoid, uint32_t draw)
{
    auto value = static_cast<uint8_t>(draw);
    if (avoid != kFrameByte && value >= avoid)
        ++value;
    return value;
}

} // namespace

std::vector<uint8_t> FramePacket(std::span<const uint8_t> packet)
{
    // Worst case: every byte stuffed, plus start, checksum and end bytes.
    std::vector<uint8_t> frame(packet.size() * 2 + 6);
    const int length = BuildVistamFrame(packet.data(), static_cast<int>(packet.size()),
                                        frame.data(), static_cast<int>(frame.size()));
    frame.resize(static_cast<size_t>(length));
    return frame;
}

TFaultDecision TFaultPlan::Decide(uint8_t ownNet)
{
    TFaultDecision d;
    d.drop = random_.Chance(rates_.drop);
    d.corrupt = random_.Chance(rates_.corrupt);
    d.corruptDraw = static_cast<uint8_t>(random_.Below(254));
    const bool noise = random_.Chance(rates_.noise);
    d.wrongNet = random_.Chance(rates_.wrongNet);
    // Network numbers 1..FE other than the own one: 253 choices.
    d.otherNet = static_cast<uint8_t>(1 + random_.Below(253));
    if (d.otherNet >= ownNet)
        ++d.otherNet;
    if (noise) {
        const uint32_t count = 1 + random_.Below(kMaxNoiseBytes);
        for (uint32_t i = 0; i < count; ++i)
            d.noise.push_back(static_cast<uint8_t>(random_.Below(255)));
    }
    d.late = random_.Chance(rates_.late); // drawn last: earlier draws stay as they were
    return d;
}

std::vector<uint8_t> TFaultPlan::Apply(const TFaultDecision& decision,
                                       std::span<const uint8_t> packet)
{
    if (decision.drop || packet.empty())
        return {};
    std::vector<uint8_t> body(packet.begin(), packet.end());
    if (decision.wrongNet)
        body[0] = decision.otherNet;
    std::vector<uint8_t> frame = FramePacket(body);
    if (decision.corrupt) {
        // The checksum sits before the two end bytes, stuffed as FF FE when it is FF.
        size_t at = frame.size() - 3;
        if (frame[at] == 0xFE && frame[at - 1] == kFrameByte) {
            frame.erase(frame.begin() + static_cast<std::ptrdiff_t>(at));
            --at;
        }
        frame[at] =
            OtherThan(Crc8OfData(body.data(), static_cast<int>(body.size())), decision.corruptDraw);
    }
    std::vector<uint8_t> wire = decision.noise;
    wire.insert(wire.end(), frame.begin(), frame.end());
    return wire;
}

std::string TFaultPlan::Describe(const TFaultDecision& decision)
{
    if (decision.drop)
        return "answer dropped";
    std::string text;
    auto add = [&text](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
    if (!decision.noise.empty())
        add(std::to_string(decision.noise.size()) + " noise bytes before the frame");
    if (decision.wrongNet)
        add("answer carries network number " + std::to_string(decision.otherNet));
    if (decision.corrupt)
        add("checksum spoiled");
    if (decision.late)
        add("answer late by " + std::to_string(kLateAnswerMs) + " ms");
    return text;
}

} // namespace karvel::sim

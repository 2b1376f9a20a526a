#pragma once
// Helpers of the simulator tests: frames from packets and the master's own decoder over
// the bytes the simulator sends.

#include "com_vistam.h"
#include "sim_faults.h"
#include "sim_feed_port.h"

#include <chrono>
#include <cstdint>
#include <span>
#include <thread>
#include <vector>

namespace karvel::sim::test {

using Bytes = std::vector<uint8_t>;

// Decodes wire bytes with the framing component the master uses.
class MasterDecoder {
public:
    MasterDecoder()
    {
        framing_.SetComPort(&port_);
        framing_.OnNewPacketRead = [this](const uint8_t* value, uint8_t colByte, bool findMail) {
            if (findMail)
                packets.emplace_back(value, value + colByte - 1); // without the checksum byte
        };
        framing_.OnError = [this](uint8_t code) { errors.push_back(code); };
    }
    void Feed(std::span<const uint8_t> bytes)
    {
        for (const uint8_t b : bytes)
            port_.Feed(b);
    }

    std::vector<Bytes> packets;
    std::vector<uint8_t> errors;

private:
    sim::TFeedPort port_;
    TComVistam framing_;
};

// Checks again and again until the condition holds or the time is up: the simulator
// takes a control command or a signal at its own pace.
template <typename Predicate> bool Eventually(Predicate done, int timeoutMs = 10000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

inline Bytes Frame(const Bytes& packet)
{
    return FramePacket(packet);
}

} // namespace karvel::sim::test

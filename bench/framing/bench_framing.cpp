// Feeds VISTAM answer frames through the receive path and into a terminal object, as a
// line does, and prints the cost per received byte and per decoded answer.
#include "com_vistam.h"
#include "karvel_main.h"

#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using namespace karvel;

class LoopbackLink : public TPortLink {
public:
    bool Connected() const override { return true; }
    bool ReadActive() const override { return true; }
    void SetReadActive(bool) override { }
    bool PutClearEvents() const override { return outstanding; }
    void SetPutClearEvents(bool v) override { outstanding = v; }
    bool WriteBuffer(const uint8_t*, uint16_t) override { return true; }
    void Feed(const uint8_t* bytes, size_t n)
    {
        for (size_t i = 0; i < n; ++i)
            DeliverRead(bytes + i, 1, 0);
    }
    bool outstanding = false;
};

// One frame per answer of the terminal's ten-request cycle, with changing values.
std::vector<std::vector<uint8_t>> CycleFrames(uint8_t net)
{
    const std::vector<std::vector<uint8_t>> answers = {
        {net, 0xC3, 0x45, 0x23, 0x01, 0x02},
        {net, 0xC4, 0x00, 0x80},
        {net, 0xC5, 0x09, 0x00},
        {net, 0xBF, 0x04},
        {net, 0xC8, 1, 0x89, 0x67, 0x45, 0x23, 0x01},
        {net, 0xC8, 3, 0x12, 0x00, 0x00, 0x00, 0x00},
        {net, 0xC8, 4, 0x00, 0x50, 0x00, 0x00, 0x00},
        {net, 0xC8, 6, 0x00, 0x05, 0x00, 0x00, 0x00},
        {net, 0xC8, 8, 0x00, 0x25, 0x00, 0x00, 0x00},
        {net, 0xC8, 9, 0x25, 0x01, 0x00, 0x00, 0x00},
    };
    std::vector<std::vector<uint8_t>> frames;
    for (const auto& a : answers) {
        uint8_t out[64];
        const int n = BuildVistamFrame(a.data(), static_cast<int>(a.size()), out, sizeof out);
        frames.emplace_back(out, out + n);
    }
    return frames;
}

} // namespace

int main()
{
    LoopbackLink link;
    TComVistam framing;
    framing.SetComPort(&link);
    TMain_Karvel terminal(5, "Пшеница", true);
    long answers = 0;
    framing.OnNewPacketRead = [&](const uint8_t* value, uint8_t, bool findMail) {
        if (findMail) {
            terminal.Exec(Packet(value, TComVistam::kBufferSize));
            ++answers;
        }
        framing.SendValue(terminal.OutArray.data(), static_cast<uint8_t>(terminal.OutCol));
    };
    const auto frames = CycleFrames(5);
    long bytes = 0;
    const int cycles = 200000;
    const auto start = std::chrono::steady_clock::now();
    for (int c = 0; c < cycles; ++c) {
        for (const auto& f : frames) {
            link.Feed(f.data(), f.size());
            bytes += static_cast<long>(f.size());
        }
    }
    const double ns =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    std::printf("framing+terminal: %ld answers, %ld bytes\n", answers, bytes);
    std::printf(
        "  %.1f ns per received byte (goal < 100; the wire gives 520833 ns at 19200 baud)\n",
        ns / bytes);
    std::printf("  %.1f ns per decoded answer (request built and framed included)\n", ns / answers);
    return answers == static_cast<long>(cycles) * 10 ? 0 : 1;
}

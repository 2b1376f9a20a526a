// The terminal's answer handling: any sequence of answers, failed exchanges, operator
// commands and display writes must neither crash nor leave a request or a text that
// breaks the terminal's limits.
#include "fuzz_input.h"
#include "karvel_main.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

using namespace karvel;

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

constexpr size_t kMaxText = 30;

class FuzzDisplay : public TSlotDisplay {
public:
    void SetHopperCaption(const std::string& caption) override { Check(caption.size() <= 64); }
    bool HopperOpen() const override { return open_; }
    void SetHopperOpen(bool open) override { open_ = open; }
    void SetAnimationActive(Animation, bool) override { }
    void SetAnimationVisible(Animation, bool) override { }
    void SetCountText(CountText, const std::string& text) override
    {
        Check(text.size() <= kMaxText);
    }

private:
    bool open_ = false;
};

void CheckTerminal(const TMain_Karvel& t)
{
    Check(t.OutCol >= 2 && t.OutCol <= TDoz_Karvel::kOutSize);
    Check(t.OutArray[0] == t.NetNum);
    Check(t.Weight.size() <= kMaxText);
    for (const std::string* text :
         {&t.Count.Ct, &t.Count.nt, &t.Count.dt, &t.Count.Pt, &t.Count.tt, &t.Count.Et})
        Check(text->size() <= kMaxText);
    Check(t.Count.stab_C <= 3);
    Check(t.ErrorCount <= TDoz_Karvel::kErrorCountLimit);
}

void RecordCommand(TMain_Karvel& t, uint8_t which)
{
    using Command = void (TDoz_Karvel::*)();
    static constexpr Command kCommands[] = {
        &TDoz_Karvel::Command_ReadDoz,   &TDoz_Karvel::Command_WriteDoz,
        &TDoz_Karvel::Command_Start,     &TDoz_Karvel::Command_Stop,
        &TDoz_Karvel::Command_Prohod,    &TDoz_Karvel::Command_Pause,
        &TDoz_Karvel::Command_ResPause,  &TDoz_Karvel::Command_ResCicle,
        &TDoz_Karvel::Command_ResPopoln, &TDoz_Karvel::Command_ZerCounters,
        &TDoz_Karvel::Command_ResErrors,
    };
    (t.*kCommands[which % std::size(kCommands)])();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const bool kr200 = (data[0] & 1) != 0;
    const uint8_t net = data[1] == 0 ? 1 : data[1];
    TMain_Karvel terminal(net, "Продукт", kr200);
    FuzzDisplay display;
    terminal.Display = &display;
    terminal.FOnChangeCount = [&](uint8_t n, double countD, double countC, const std::string& dText,
                                  const std::string& cText) {
        Check(n == net);
        Check(std::isfinite(countD) && std::isfinite(countC));
        Check(dText.size() <= kMaxText && cText.size() <= kMaxText);
        terminal.AddCount(n, countD, countC, dText, cText);
    };
    terminal.FOnEventChangeCount = [](const std::string&, uint8_t, double, double,
                                      const std::string&, const std::string&) {};
    terminal.FOnEventPStop = [](uint16_t, uint8_t act) { Check(act <= 2); };
    terminal.FOnStopWeightSystemEvent = [](uint8_t) {};
    terminal.FOnReadDozeParam = [](uint8_t, uint8_t, const TDosageStructure& d) {
        Check(std::isfinite(d.TankageLadel) && std::isfinite(d.OSigma));
    };

    // The framing lends the handler its whole 255-byte buffer, zero beyond the packet.
    std::array<uint8_t, 255> buffer {};
    size_t i = 2;
    while (i < size) {
        const uint8_t tag = data[i++];
        if (tag == fuzz::kTagBadResponse) {
            terminal.BedResponse();
        } else if (tag == fuzz::kTagCommand) {
            if (i < size)
                RecordCommand(terminal, data[i++]);
        } else if (tag == fuzz::kTagShow) {
            terminal.Show();
        } else if (tag < 0x80) {
            const size_t length = std::min<size_t>(tag & 0x3F, size - i);
            buffer.fill(0);
            std::memcpy(buffer.data(), data + i, length);
            i += length;
            if ((tag & fuzz::kTagSteered) != 0 && length >= 2) {
                buffer[0] = net;
                buffer[1] = fuzz::kAnswerCodes[buffer[1] % std::size(fuzz::kAnswerCodes)];
            }
            terminal.Exec(Packet(buffer.data(), buffer.size()));
        }
        CheckTerminal(terminal);
    }
    return 0;
}

#pragma once
// The terminal object of one configured slot of a line: adds the product name, the
// terminal model, edge events of the signals that colour the terminal's tab, and the
// display of the selected terminal.

#include "d_karvel.h"
#include "slot_display.h"

#include <functional>
#include <string>

namespace karvel {

using TEventChangeCount =
    std::function<void(const std::string& product, uint8_t netNum, double countD, double countC,
                       const std::string& countDText, const std::string& countCText)>;
// act: 0 = signal gone, 1 = first signal (tab yellow), 2 = second signal (tab red).
using TEventPStop = std::function<void(uint16_t externEnum, uint8_t act)>;

class TMain_Karvel : public TDoz_Karvel {
public:
    // sTypeMeh: true for the newer model KR-200, false for KR-100.
    TMain_Karvel(uint8_t netNumber, std::string productName, bool sTypeMeh);

    void Exec(Packet packet) override;
    void Reading_DO(Packet packet) override;
    // Writes this terminal's weight, counters and loading state into the bound display.
    void Show();

    void AddCount(uint8_t netNum, double countD, double countC, const std::string& countDText,
                  const std::string& countCText);

    TEventChangeCount FOnEventChangeCount;
    TEventPStop FOnEventPStop;
    bool TypeWMeh = false;
    bool tmpB = false; // last value of the first watched signal
    bool tmpB1 = false; // last value of output 0 (KR-200)
    bool tmpB2 = false; // last value of output 3 (KR-200)
    std::string Product;
    TSlotDisplay* Display = nullptr; // the line window's controls; not owned

private:
    void RaiseEdge(bool before, bool now, uint8_t risingAct, uint8_t fallingAct);
    void DetectEdges();
    void ShowKr200(TSlotDisplay& display) const;
    void ShowKr100(TSlotDisplay& display) const;
    static void OpenGate(TSlotDisplay& display, bool open);
    static void ShowProductAnimations(TSlotDisplay& display, bool visible);
    static void ShowFlowThrough(TSlotDisplay& display);
    static void CloseAndHideOutlet(TSlotDisplay& display);
};

} // namespace karvel

#include "karvel_main.h"

#include <utility>

namespace karvel {

namespace {

constexpr int kKr200Signal = 15; // input watched on the newer model
constexpr int kKr100Signal = 6; // input watched on the older model, active low

bool Bit(uint8_t byte, int bit)
{
    return ((byte >> bit) & 1) != 0;
}

} // namespace

TMain_Karvel::TMain_Karvel(uint8_t netNumber, std::string productName, bool sTypeMeh)
    : TDoz_Karvel(netNumber), TypeWMeh(sTypeMeh), Product(std::move(productName))
{
    FOnChangeCount = [this](uint8_t netNum, double countD, double countC,
                            const std::string& countDText, const std::string& countCText) {
        AddCount(netNum, countD, countC, countDText, countCText);
    };
}

void TMain_Karvel::AddCount(uint8_t netNum, double countD, double countC,
                            const std::string& countDText, const std::string& countCText)
{
    if (FOnEventChangeCount)
        FOnEventChangeCount(Product, netNum, countD, countC, countDText, countCText);
}

void TMain_Karvel::Reading_DO(Packet packet)
{
    if (!TypeWMeh) {
        TDoz_Karvel::Reading_DO(packet);
        return;
    }
    // The newer model reports sixteen outputs, not inverted.
    const uint8_t low = packet.size() > 2 ? packet[2] : 0;
    const uint8_t high = packet.size() > 3 ? packet[3] : 0;
    for (int i = 0; i < 8; ++i) {
        Output[i] = Bit(low, i);
        Output[8 + i] = Bit(high, i);
    }
}

void TMain_Karvel::Exec(Packet packet)
{
    TDoz_Karvel::Exec(packet);
    DetectEdges();
}

void TMain_Karvel::RaiseEdge(bool before, bool now, uint8_t risingAct, uint8_t fallingAct)
{
    if (before == now || !FOnEventPStop)
        return;
    FOnEventPStop(ExternNum, now ? risingAct : fallingAct);
}

void TMain_Karvel::DetectEdges()
{
    if (TypeWMeh) {
        RaiseEdge(tmpB, Input[kKr200Signal], 1, 0);
        RaiseEdge(tmpB1, Output[0], 2, 0);
        RaiseEdge(tmpB2, Output[3], 1, 0);
        tmpB = Input[kKr200Signal];
        tmpB1 = Output[0];
        tmpB2 = Output[3];
    } else {
        RaiseEdge(tmpB, Input[kKr100Signal], 0, 1);
        tmpB = Input[kKr100Signal];
    }
}

void TMain_Karvel::Show()
{
    if (Display == nullptr)
        return;
    TSlotDisplay& display = *Display;
    display.SetHopperCaption("   " + Weight + "   ");
    display.SetCountText(TSlotDisplay::Count_C, Count.Ct);
    display.SetCountText(TSlotDisplay::Count_n, Count.nt);
    display.SetCountText(TSlotDisplay::Count_d, Count.dt);
    display.SetCountText(TSlotDisplay::Count_P, Count.Pt);
    display.SetCountText(TSlotDisplay::Count_t, Count.tt);
    display.SetCountText(TSlotDisplay::Count_E, Count.Et);
    if (TypeWMeh)
        ShowKr200(display);
    else
        ShowKr100(display);
}

// The gate is written only when its state changes.
void TMain_Karvel::OpenGate(TSlotDisplay& display, bool open)
{
    if (display.HopperOpen() != open)
        display.SetHopperOpen(open);
}

// The product animations beside the outlet show a still picture when visible.
void TMain_Karvel::ShowProductAnimations(TSlotDisplay& display, bool visible)
{
    display.SetAnimationVisible(TSlotDisplay::ProdAn1, visible);
    display.SetAnimationVisible(TSlotDisplay::ProdAn2, visible);
    if (!visible)
        return;
    for (auto animation : {TSlotDisplay::ProdAn1, TSlotDisplay::ProdAn2}) {
        display.SetAnimationActive(animation, true);
        display.SetAnimationActive(animation, false);
    }
}

// Both gates open: product flows straight through the hopper.
void TMain_Karvel::ShowFlowThrough(TSlotDisplay& display)
{
    OpenGate(display, true);
    display.SetAnimationActive(TSlotDisplay::L_Animate, true);
    display.SetAnimationActive(TSlotDisplay::H_Animate, true);
    display.SetAnimationVisible(TSlotDisplay::L_Animate, true);
    display.SetAnimationVisible(TSlotDisplay::H_Animate, true);
}

void TMain_Karvel::CloseAndHideOutlet(TSlotDisplay& display)
{
    OpenGate(display, false);
    display.SetAnimationActive(TSlotDisplay::L_Animate, false);
    display.SetAnimationVisible(TSlotDisplay::L_Animate, false);
}

void TMain_Karvel::ShowKr200(TSlotDisplay& display) const
{
    if (Output[8] && Output[10]) {
        ShowFlowThrough(display);
        return;
    }
    const bool unloading = DozSysStatus.UnLoading;
    OpenGate(display, unloading);
    display.SetAnimationActive(TSlotDisplay::L_Animate, unloading);
    display.SetAnimationActive(TSlotDisplay::H_Animate,
                               DozSysStatus.Loading && !Output[0] && !Output[3]);
    ShowProductAnimations(display, Input[kKr200Signal]);
}

void TMain_Karvel::ShowKr100(TSlotDisplay& display) const
{
    if (Output[4] && Output[5]) {
        ShowFlowThrough(display);
    } else {
        if (DozSysStatus.UnLoading) {
            OpenGate(display, true);
            display.SetAnimationActive(TSlotDisplay::L_Animate, true);
            display.SetAnimationVisible(TSlotDisplay::L_Animate, true);
            display.SetAnimationActive(TSlotDisplay::H_Animate, false);
        }
        if (DozSysStatus.Loading) {
            CloseAndHideOutlet(display);
            display.SetAnimationActive(TSlotDisplay::H_Animate, true);
        }
        if (DozSysStatus.StopPause) {
            CloseAndHideOutlet(display);
            display.SetAnimationActive(TSlotDisplay::H_Animate, false);
        }
    }
    ShowProductAnimations(display, !Input[kKr100Signal]);
}

} // namespace karvel

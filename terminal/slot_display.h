#pragma once
// The shared controls of a line window that the selected terminal writes into: the hopper
// indicator, four flow animations and six counter texts. All terminals of a line share
// one display; the window owns it.

#include <string>

namespace karvel {

class TSlotDisplay {
public:
    enum Animation { H_Animate, L_Animate, ProdAn1, ProdAn2 };
    enum CountText { Count_C, Count_n, Count_d, Count_P, Count_t, Count_E };

    virtual ~TSlotDisplay() = default;
    virtual void SetHopperCaption(const std::string& caption) = 0;
    virtual bool HopperOpen() const = 0; // the discharge gate drawn open
    virtual void SetHopperOpen(bool open) = 0;
    virtual void SetAnimationActive(Animation animation, bool playing) = 0;
    virtual void SetAnimationVisible(Animation animation, bool visible) = 0;
    virtual void SetCountText(CountText field, const std::string& text) = 0;
};

} // namespace karvel

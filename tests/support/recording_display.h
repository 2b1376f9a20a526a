#pragma once
// A line window's shared controls as the tests see them: records what a terminal writes.

#include "slot_display.h"

#include <map>
#include <string>

namespace karvel::test {

class TRecordingDisplay : public TSlotDisplay {
public:
    void SetHopperCaption(const std::string& text) override { caption = text; }
    bool HopperOpen() const override { return open; }
    void SetHopperOpen(bool value) override
    {
        open = value;
        ++gateWrites;
    }
    void SetAnimationActive(Animation a, bool playing) override { active[a] = playing; }
    void SetAnimationVisible(Animation a, bool visible) override { shown[a] = visible; }
    void SetCountText(CountText f, const std::string& text) override { texts[f] = text; }

    std::string caption;
    bool open = false;
    int gateWrites = 0;
    std::map<Animation, bool> active, shown;
    std::map<CountText, std::string> texts;
};

} // namespace karvel::test

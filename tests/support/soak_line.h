#pragma once
// The screen side of a line for a run without windows: it keeps the messages a line
// window would show in a box and otherwise draws nothing.

#include "line_poller.h"

#include <string>
#include <vector>

namespace karvel::soak {

class TQuietDisplay : public TSlotDisplay {
public:
    void SetHopperCaption(const std::string&) override { }
    bool HopperOpen() const override { return open_; }
    void SetHopperOpen(bool open) override { open_ = open; }
    void SetAnimationActive(Animation, bool) override { }
    void SetAnimationVisible(Animation, bool) override { }
    void SetCountText(CountText, const std::string&) override { }

private:
    bool open_ = false;
};

class TQuietView : public TLineView {
public:
    void ClearTabs() override { tabs_ = 0; }
    void AddTab(const std::string&) override { ++tabs_; }
    // The first tab is selected, as in a window just opened: its terminal is drawn.
    int SelectedTab() const override { return tabs_ > 0 ? 0 : -1; }
    void RepaintTabs() override { }
    // Called at every polling step that ends on the selected terminal.
    void SetGroupCaption(const std::string&) override { ++steps; }
    void ShowModelMenus(bool) override { }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void ShowWindow() override { }
    TSlotDisplay* Display() override { return &display_; }

    std::vector<std::string> messages;
    int steps = 0;

private:
    int tabs_ = 0;
    TQuietDisplay display_;
};

} // namespace karvel::soak

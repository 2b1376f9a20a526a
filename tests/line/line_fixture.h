#pragma once
// A line's screen side and settings for tests: records what the poller shows.

#include "line_poller.h"
#include "recording_display.h"

#include <map>
#include <string>
#include <vector>

namespace karvel::test {

using RecordingDisplay = TRecordingDisplay;

class RecordingView : public TLineView {
public:
    void ClearTabs() override { tabs.clear(); }
    void AddTab(const std::string& caption) override
    {
        tabs.push_back(caption);
        if (selected < 0)
            selected = 0;
    }
    int SelectedTab() const override { return selected; }
    void RepaintTabs() override { ++repaints; }
    void SetGroupCaption(const std::string& caption) override { groupCaption = caption; }
    void ShowModelMenus(bool kr100) override { menusKr100 = kr100 ? 1 : 0; }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void ShowPortState(const std::string& text) override { portStates.push_back(text); }
    void ShowWindow() override { shown = true; }
    TSlotDisplay* Display() override { return &display; }

    std::vector<std::string> tabs;
    int selected = -1;
    int repaints = 0;
    std::string groupCaption;
    int menusKr100 = -1;
    std::vector<std::string> messages;
    std::vector<std::string> portStates;
    bool shown = false;
    RecordingDisplay display;
};

class FixedSettings : public TLineSettingsSource {
public:
    TLineModelSetting ReadModel(const TLineTraits&) override { return model; }
    TLinePortSetting ReadPort(const TLineTraits&) override { return port; }

    TLineModelSetting model {true, false, {}};
    TLinePortSetting port {true, 0, 1, {}};
};

} // namespace karvel::test

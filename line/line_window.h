#pragma once
// The window of one line: the terminals as tabs coloured by state, the selected terminal's
// hopper, flow animations and counters, the operator's commands. One class serves all four
// lines; what differs between them comes from the line's traits. The polling itself runs in
// TLinePoller; this window only shows it and hands it the operator's commands.

#include "line_poller.h"
#include "slot_display.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>

class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;

namespace karvel {

class TAnimateWidget;
class THopperWidget;
class TStateTabBar;

class TFormLine : public QMainWindow, public TLineView, public TSlotDisplay {
    Q_OBJECT
public:
    // The window is created hidden; FormCreate shows it when the line has terminals.
    TFormLine(int line, const TLineList& list, TLineSettingsSource& settings,
              QWidget* parent = nullptr);
    ~TFormLine() override;

    // Creation: tab states reset, animations prepared, then Init.
    void FormCreate();
    void Init() { poller_->Init(); }
    void Stoping() { poller_->Stoping(); }

    TLinePoller& Poller() { return *poller_; }
    const TLineTraits& Traits() const { return traits_; }
    bool Kr200MenuVisible() const;
    void SetStatusText(const QString& text);
    QString StatusText() const;
    TStateTabBar& Tabs() { return *tabs_; }
    QString ValueText(TSlotDisplay::CountText field) const;
    QString GroupCaption() const;
    THopperWidget& Hopper() { return *hopper_; }

    // Set by the main window: the password-guarded product pass (true when the command may
    // be recorded), the dosing parameters request, and the alarm once its delay has passed.
    std::function<bool(QWidget* parent)> AskProductPass;
    std::function<void(int line, uint16_t externNum, bool kr200)> ParamRequested;
    std::function<void()> OnAlarm;

    // TLineView
    void ClearTabs() override;
    void AddTab(const std::string& caption) override;
    int SelectedTab() const override;
    void RepaintTabs() override;
    void SetGroupCaption(const std::string& caption) override;
    void ShowModelMenus(bool kr100) override;
    void ShowMessage(const std::string& text) override;
    void ShowPortState(const std::string& text) override;
    void ShowWindow() override;
    TSlotDisplay* Display() override { return this; }

    // TSlotDisplay
    void SetHopperCaption(const std::string& caption) override;
    bool HopperOpen() const override;
    void SetHopperOpen(bool open) override;
    void SetAnimationActive(Animation animation, bool playing) override;
    void SetAnimationVisible(Animation animation, bool visible) override;
    void SetCountText(CountText field, const std::string& text) override;

private:
    QGroupBox* BuildCommandButtons(QWidget* parent);
    void BuildValueFields(QGroupBox* box);
    void BuildHopper(QGroupBox* box);
    void BuildMenus();
    void Command(TLineCommand command);
    void StartBtnClick();
    void StopBtnClick();
    void ProductPass();
    void ParamBtnClick();

    const TLineTraits& traits_;
    std::unique_ptr<TLinePoller> poller_;
    TStateTabBar* tabs_ = nullptr;
    QGroupBox* groupBox2_ = nullptr;
    std::array<QLabel*, 6> values_ {};
    THopperWidget* hopper_ = nullptr;
    std::array<TAnimateWidget*, 4> animations_ {};
    QMenu* kr200Menu_ = nullptr;
    QMenu* kr100Menu_ = nullptr;
    QLabel* status_ = nullptr;
};

} // namespace karvel

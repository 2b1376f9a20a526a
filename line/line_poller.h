#pragma once
// The polling cycle of one line, without a screen: an endless round-robin over the line's
// terminals, one request on the line at a time, clocked by the answers themselves. It keeps
// the tab state of each terminal, sends operator commands to the selected terminal and arms
// the stop alarm. The line window only displays it.

#include "com_port.h"
#include "com_vistam.h"
#include "karvel_main.h"
#include "line_list.h"
#include "line_traits.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace karvel {

// Tab states and the colour the window paints for each.
enum TTabState : uint8_t { TabNormal = 0, TabActive = 1, TabSignal = 2, TabAlert = 3 };

// What a line reads from the configuration store when it starts. `error` carries the text
// of a value that could not be read; the rest of the start is then skipped.
struct TLineModelSetting {
    bool keyExists = false;
    bool terminalType = false; // true: KR-100 terminals
    std::string error;
};
struct TLinePortSetting {
    bool keyExists = false;
    int port = 0; // position in COM1..COM9, counted from 0
    int speed = 0; // 0: 9600 bit/s, anything else 19200 bit/s
    std::string error;
};
class TLineSettingsSource {
public:
    virtual ~TLineSettingsSource() = default;
    virtual TLineModelSetting ReadModel(const TLineTraits& line) = 0;
    virtual TLinePortSetting ReadPort(const TLineTraits& line) = 0;
};

// The screen side of a line: the window implements it.
class TLineView {
public:
    virtual ~TLineView() = default;
    virtual void ClearTabs() = 0;
    virtual void AddTab(const std::string& caption) = 0;
    virtual int SelectedTab() const = 0; // -1 when there is none
    virtual void RepaintTabs() = 0;
    virtual void SetGroupCaption(const std::string& caption) = 0;
    virtual void ShowModelMenus(bool kr100) = 0;
    virtual void ShowMessage(const std::string& text) = 0; // modal
    virtual void ShowWindow() = 0;
    virtual TSlotDisplay* Display() = 0; // the controls the selected terminal writes into
};

enum class TLineCommand {
    Start,
    Stop,
    Prohod,
    Pause,
    ResPause,
    ResCicle,
    ResPopoln,
    ZerCounters,
    ResErrors,
    ReadDoz,
};

class TLinePoller : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxTerminals = 31;
    static constexpr int kAlarmDelayMs = 200;
    // How long Stoping waits for the port to settle; tests that close many lines may
    // shorten it.
    static constexpr int kStopWaitMs = 150;

    TLinePoller(const TLineTraits& traits, const TLineList& list, TLineSettingsSource& settings,
                TLineView& view, QObject* parent = nullptr);
    ~TLinePoller() override;

    // Binds the line's current terminals and starts polling.
    void Init();
    // Closes the port (before a reconfiguration and at the end).
    void Stoping();
    void SetStopWaitMs(int ms) { stopWaitMs_ = ms; }

    // One polling step: the outcome of the exchange with the polled terminal.
    void PollStep(const uint8_t* value, uint8_t colByte, bool findMail);
    // Stop event of terminal `externEnum`: arms the alarm, resets its tab.
    void Stopping(uint8_t externEnum);
    // Signal event: sets the tab state by the signal code.
    void Podp(uint16_t externEnum, uint8_t act);

    // Records a command on the selected tab's terminal; false when no tab is selected.
    bool Command(TLineCommand command);
    TMain_Karvel* SelectedTerminal() const;

    const TLineTraits& Traits() const { return traits_; }
    uint8_t TabState(int index) const;
    uint16_t PollPosition() const { return pollPosition_; }
    uint64_t Exchanges() const { return exchanges_; } // polling steps taken since creation
    bool AlarmArmed() const { return alarm_.isActive(); }
    TComPort& Port() { return port_; }
    TComVistam& Framing() { return framing_; }

    // Runs when the alarm delay has passed after a stop event (once per arming).
    std::function<void()> OnAlarm;

private:
    bool Prepare();
    void SendCurrentRequest();
    void BindTerminals();
    void AlarmTimeout();
    void SetTabState(size_t index, uint8_t state);

    const TLineTraits& traits_;
    const TLineList& list_;
    TLineSettingsSource& settings_;
    TLineView& view_;
    TComPort port_;
    TComVistam framing_;
    QTimer alarm_;
    uint16_t pollPosition_ = 0;
    uint64_t exchanges_ = 0;
    int stopWaitMs_ = kStopWaitMs;
    std::array<uint8_t, kMaxTerminals> pics_ {};
};

} // namespace karvel

#include "line_poller.h"

#include <QThread>

#include <thread>

namespace karvel {

namespace {

struct CommandEntry {
    TLineCommand command;
    void (TDoz_Karvel::*record)();
};

constexpr CommandEntry kCommands[] = {
    {TLineCommand::Start, &TDoz_Karvel::Command_Start},
    {TLineCommand::Stop, &TDoz_Karvel::Command_Stop},
    {TLineCommand::Prohod, &TDoz_Karvel::Command_Prohod},
    {TLineCommand::Pause, &TDoz_Karvel::Command_Pause},
    {TLineCommand::ResPause, &TDoz_Karvel::Command_ResPause},
    {TLineCommand::ResCicle, &TDoz_Karvel::Command_ResCicle},
    {TLineCommand::ResPopoln, &TDoz_Karvel::Command_ResPopoln},
    {TLineCommand::ZerCounters, &TDoz_Karvel::Command_ZerCounters},
    {TLineCommand::ResErrors, &TDoz_Karvel::Command_ResErrors},
    {TLineCommand::ReadDoz, &TDoz_Karvel::Command_ReadDoz},
};

} // namespace

TLinePoller::TLinePoller(const TLineTraits& traits, const TLineList& list,
                         TLineSettingsSource& settings, TLineView& view, QObject* parent)
    : QObject(parent), traits_(traits), list_(list), settings_(settings), view_(view)
{
    // The line's fixed settings; port number and speed come from the store at each start.
    port_.ComProp().SetBaudRate(TBaudRate::br19200);
    port_.ComProp().SetByteSize(TByteSize::bs8);
    port_.ComProp().SetParity(TParity::ptNONE);
    port_.ComProp().SetStopbits(TStopbits::sb1BITS);
    port_.SetInBufSize(255);
    port_.SetTimeReceiveByte(140);
    framing_.SetComPort(&port_);
    framing_.SetProtocol(TProtocol::VISTAM);
    framing_.OnNewPacketRead = [this](const uint8_t* value, uint8_t colByte, bool findMail) {
        PollStep(value, colByte, findMail);
    };
    alarm_.setSingleShot(true);
    alarm_.setTimerType(Qt::PreciseTimer);
    alarm_.setInterval(kAlarmDelayMs);
    connect(&alarm_, &QTimer::timeout, this, &TLinePoller::AlarmTimeout);
}

TLinePoller::~TLinePoller()
{
    framing_.SetComPort(nullptr);
    port_.Close();
}

void TLinePoller::Init()
{
    const TLineModelSetting model = settings_.ReadModel(traits_);
    if (!model.error.empty()) {
        view_.ShowMessage(model.error);
        return;
    }
    if (model.keyExists)
        view_.ShowModelMenus(model.terminalType);
    pollPosition_ = 0;
    if (list_.empty())
        return;
    BindTerminals();
    if (Prepare())
        view_.ShowWindow();
}

void TLinePoller::BindTerminals()
{
    for (const auto& terminal : list_) {
        terminal->FOnStopWeightSystemEvent = [this](uint8_t e) { Stopping(e); };
        terminal->FOnEventPStop = [this](uint16_t e, uint8_t act) { Podp(e, act); };
        terminal->Display = view_.Display();
    }
}

// Returns false when a setting could not be read: the caller's remaining steps are skipped.
bool TLinePoller::Prepare()
{
    const TLinePortSetting setting = settings_.ReadPort(traits_);
    if (!setting.error.empty()) {
        view_.ShowMessage(setting.error);
        return false;
    }
    if (!setting.keyExists)
        return true; // no communication parameters yet: an empty window, nothing polled
    port_.SetComNumber(setting.port + 1);
    port_.ComProp().SetBaudRate(setting.speed == 0 ? TBaudRate::br9600 : TBaudRate::br19200);
    if (list_.empty())
        return true;
    for (const auto& terminal : list_)
        view_.AddTab(terminal->Product);
    if (!port_.Connected())
        port_.Open();
    std::this_thread::yield();
    if (port_.Connected()) {
        SendCurrentRequest();
        port_.SetReadActive(true);
    } else {
        view_.ShowMessage(traits_.portMessage);
    }
    return true;
}

void TLinePoller::Stoping()
{
    if (port_.Connected())
        port_.Close();
    QThread::msleep(static_cast<unsigned long>(stopWaitMs_));
}

void TLinePoller::SendCurrentRequest()
{
    const TMain_Karvel& terminal = *list_[pollPosition_];
    framing_.SendValue(terminal.OutArray.data(), static_cast<uint8_t>(terminal.OutCol & 0xFF));
}

void TLinePoller::PollStep(const uint8_t* value, uint8_t /*colByte*/, bool findMail)
{
    if (pollPosition_ >= list_.size())
        return; // the line was rebuilt under a late delivery
    TMain_Karvel& terminal = *list_[pollPosition_];
    if (findMail && value[0] != terminal.NetNum) {
        // Another terminal's answer (a late one, or noise that passed the checksum) must
        // not reach this terminal: keep waiting for its own answer, and let silence still
        // end the wait.
        framing_.ClearMessage();
        port_.SetPutClearEvents(true);
        return;
    }
    ++exchanges_;
    if (findMail)
        terminal.Exec(Packet(value, TComVistam::kBufferSize));
    else
        terminal.BedResponse();

    const size_t position = pollPosition_;
    if ((terminal.DozSysStatus.Loading || terminal.DozSysStatus.UnLoading) &&
        pics_[position] == TabNormal) {
        pics_[position] = TabActive;
        view_.RepaintTabs();
    }
    if (view_.SelectedTab() == static_cast<int>(position)) {
        view_.SetGroupCaption(terminal.Product);
        terminal.Show();
    }
    pollPosition_ = (position + 1 > list_.size() - 1) ? 0 : static_cast<uint16_t>(position + 1);
    SendCurrentRequest();
    port_.SetReadActive(true);
}

void TLinePoller::Stopping(uint8_t externEnum)
{
    if (!alarm_.isActive())
        alarm_.start(); // a running delay is not restarted: several stops, one alarm
    if (externEnum < pics_.size() && pics_[externEnum] != TabSignal)
        SetTabState(externEnum, TabNormal);
}

void TLinePoller::Podp(uint16_t externEnum, uint8_t act)
{
    static constexpr uint8_t kStateOfAct[] = {TabNormal, TabSignal, TabAlert};
    if (externEnum < pics_.size() && act < std::size(kStateOfAct))
        pics_[externEnum] = kStateOfAct[act];
    view_.RepaintTabs();
}

void TLinePoller::SetTabState(size_t index, uint8_t state)
{
    pics_[index] = state;
    view_.RepaintTabs();
}

void TLinePoller::AlarmTimeout()
{
    alarm_.stop();
    if (OnAlarm)
        OnAlarm();
}

uint8_t TLinePoller::TabState(int index) const
{
    return (index >= 0 && index < kMaxTerminals) ? pics_[static_cast<size_t>(index)]
                                                 : uint8_t {TabNormal};
}

TMain_Karvel* TLinePoller::SelectedTerminal() const
{
    const int index = view_.SelectedTab();
    if (index < 0 || static_cast<size_t>(index) >= list_.size())
        return nullptr;
    return list_[static_cast<size_t>(index)].get();
}

bool TLinePoller::Command(TLineCommand command)
{
    TMain_Karvel* terminal = SelectedTerminal();
    if (terminal == nullptr)
        return false;
    for (const CommandEntry& entry : kCommands) {
        if (entry.command == command)
            (terminal->*entry.record)();
    }
    return true;
}

} // namespace karvel

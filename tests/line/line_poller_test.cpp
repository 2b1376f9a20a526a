// The polling step, tab states, commands and the stop alarm of one line, driven directly.
#include "../terminal/answers.h"
#include "line_fixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace karvel {
namespace {

using test::FixedSettings;
using test::MakeAnswer;
using test::RecordingView;

class LinePollerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        // The line's port points at a device that does not exist: it never opens.
        QDir().mkpath(home.path() + "/Vistam/dosdevices");
        QFile::link(home.path() + "/missing-device", home.path() + "/Vistam/dosdevices/com1");
    }
    void AddTerminals(std::initializer_list<uint8_t> nets, bool kr200 = true)
    {
        for (uint8_t net : nets) {
            list.push_back(
                std::make_unique<TMain_Karvel>(net, "Продукт " + std::to_string(net), kr200));
            list.back()->ExternNum = static_cast<uint16_t>(list.size() - 1);
        }
    }
    void Answer(const test::Answer& a) { poller.PollStep(a.data(), 3, true); }
    void Silence() { poller.PollStep(nullptr, 0, false); }

    QTemporaryDir home;
    TLineList list;
    FixedSettings settings;
    RecordingView view;
    TLinePoller poller {LineTraits(1), list, settings, view};
};

TEST_F(LinePollerTest, AnEmptyLineShowsNoWindowAndOpensNoPort)
{
    poller.Init();
    EXPECT_FALSE(view.shown);
    EXPECT_FALSE(poller.Port().Connected());
    EXPECT_EQ(view.menusKr100, 0) << "the model's menus are still set";
}

TEST_F(LinePollerTest, WithoutCommunicationParametersTheWindowShowsEmpty)
{
    AddTerminals({5});
    settings.port.keyExists = false;
    poller.Init();
    EXPECT_TRUE(view.shown);
    EXPECT_TRUE(view.tabs.empty());
    EXPECT_TRUE(view.messages.empty());
    EXPECT_FALSE(poller.Port().Connected());
}

TEST_F(LinePollerTest, APortThatDoesNotOpenShowsTheLineMessage)
{
    AddTerminals({5, 6});
    poller.Init();
    EXPECT_EQ(view.tabs, (std::vector<std::string> {"Продукт 5", "Продукт 6"}));
    EXPECT_EQ(view.messages,
              std::vector<std::string> {"ОШИБКА!!!! ПОРТ ЛИНИИ 1 НЕ ОТКРЫТ, ОБЕН НЕВОЗМОЖЕН!"});
    EXPECT_TRUE(view.shown);
    EXPECT_EQ(poller.Port().ComNumber(), 1);
}

TEST_F(LinePollerTest, ASettingThatCannotBeReadSkipsTheRest)
{
    AddTerminals({5});
    settings.port.error = "Invalid value for PortL1";
    poller.Init();
    EXPECT_EQ(view.messages, std::vector<std::string> {"Invalid value for PortL1"});
    EXPECT_FALSE(view.shown);
}

TEST_F(LinePollerTest, StepsWalkTheTerminalsAndWrap)
{
    AddTerminals({5, 6, 7});
    poller.Init();
    view.selected = 1;
    Answer(MakeAnswer(5, 0xC3, {0x45, 0x23, 0x01, 0x02}));
    EXPECT_EQ(poller.PollPosition(), 1);
    EXPECT_TRUE(view.groupCaption.empty()) << "only the selected terminal writes to the controls";
    Answer(MakeAnswer(6, 0xC3, {0x00, 0x10, 0x00, 0x01}));
    EXPECT_EQ(view.groupCaption, "Продукт 6");
    EXPECT_EQ(view.display.caption, "   100.0   ");
    Silence();
    EXPECT_EQ(poller.PollPosition(), 0);
    EXPECT_EQ(list[2]->ErrorCount, 1);
    EXPECT_EQ(list[0]->Weight, "123.45");
}

TEST_F(LinePollerTest, AnswerOfAnotherTerminalNeverReachesThePolledOne)
{
    AddTerminals({5, 6});
    poller.Init();
    Answer(MakeAnswer(6, 0xC3, {0x45, 0x23, 0x01, 0x02})); // terminal 5 is polled
    EXPECT_EQ(poller.PollPosition(), 0) << "still waiting for terminal 5";
    EXPECT_TRUE(list[0]->Weight.empty());
    EXPECT_FALSE(list[0]->Connect);
    EXPECT_TRUE(list[1]->Weight.empty());
    Answer(MakeAnswer(5, 0xC3, {0x01, 0x00, 0x00, 0x00}));
    EXPECT_EQ(list[0]->Weight, "1");
    EXPECT_EQ(poller.PollPosition(), 1);
}

TEST_F(LinePollerTest, OneTerminalIsPolledAgainAndAgain)
{
    AddTerminals({9});
    poller.Init();
    for (int i = 0; i < 3; ++i) {
        Answer(MakeAnswer(9, i == 0 ? 0xC3 : 0xC4, {0, 0, 0, 0}));
        EXPECT_EQ(poller.PollPosition(), 0);
    }
    EXPECT_EQ(list[0]->Status, 2);
}

TEST_F(LinePollerTest, TabStates)
{
    AddTerminals({5, 6});
    poller.Init();
    // Loading turns a normal tab green at the end of the terminal's turn, even without an answer.
    Answer(MakeAnswer(5, 0xBF, {0x04}));
    EXPECT_EQ(poller.TabState(0), TabActive);
    poller.Podp(1, 2);
    Answer(MakeAnswer(6, 0xBF, {0x04}));
    EXPECT_EQ(poller.TabState(1), TabAlert) << "a red tab stays red while loading";
    poller.Podp(0, 1);
    EXPECT_EQ(poller.TabState(0), TabSignal);
    poller.Stopping(0);
    EXPECT_EQ(poller.TabState(0), TabSignal) << "a yellow tab stays yellow at a stop";
    EXPECT_TRUE(poller.AlarmArmed()) << "but the alarm is armed";
    poller.Stopping(1);
    EXPECT_EQ(poller.TabState(1), TabNormal);
    const int repaints = view.repaints;
    poller.Podp(1, 7);
    EXPECT_EQ(poller.TabState(1), TabNormal);
    EXPECT_EQ(view.repaints, repaints + 1) << "an unknown code only repaints";
    poller.Podp(0, 0);
    EXPECT_EQ(poller.TabState(0), TabNormal);
}

TEST_F(LinePollerTest, SignalEdgesFromAnswersColourTheTab)
{
    AddTerminals({5});
    poller.Init();
    Answer(MakeAnswer(5, 0xC4, {0x00, 0x80})); // KR-200 input 15 rises
    EXPECT_EQ(poller.TabState(0), TabSignal);
    Answer(MakeAnswer(5, 0xC5, {0x01, 0x00})); // output 0 rises
    EXPECT_EQ(poller.TabState(0), TabAlert);
}

TEST_F(LinePollerTest, CommandsGoToTheSelectedTerminal)
{
    AddTerminals({5, 6});
    EXPECT_FALSE(poller.Command(TLineCommand::Start)) << "no tab selected: nothing happens";
    poller.Init();
    view.selected = 1;
    EXPECT_TRUE(poller.Command(TLineCommand::ZerCounters));
    EXPECT_EQ(list[1]->subStatus, 19);
    EXPECT_EQ(list[0]->subStatus, 0);
    EXPECT_TRUE(poller.Command(TLineCommand::ReadDoz));
    EXPECT_EQ(list[1]->subStatus, 10);
}

TEST_F(LinePollerTest, ThreeStopsWithinTheDelaySoundOneAlarm)
{
    AddTerminals({5, 6, 7});
    int alarms = 0;
    poller.OnAlarm = [&] { ++alarms; };
    QElapsedTimer clock;
    clock.start();
    qint64 firedAt = -1;
    poller.OnAlarm = [&] {
        ++alarms;
        firedAt = clock.elapsed();
    };
    poller.Stopping(0);
    poller.Stopping(1);
    poller.Stopping(2);
    while (clock.elapsed() < 600)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(alarms, 1);
    EXPECT_GE(firedAt, TLinePoller::kAlarmDelayMs - 5);
    EXPECT_FALSE(poller.AlarmArmed());
}

} // namespace
} // namespace karvel

// The dosing parameters round trip on two lines polled for real: each line's serial port
// on a pseudo-terminal with a simulated line behind it, the same network numbers on both.
// "Параметры" on both lines, a value changed in the window that opens, OK: the write
// reaches the terminal the values came from, on its own line only, and reads back.
#include "doz_struct_par.h"
#include "modal.h"
#include "qstring_print.h"

#include "../line/line_fixture.h"
#include "sim_process.h"
#include "wait.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace karvel {
namespace {

using test::SimProcess;
using test::WaitUntil;
using test::WhenModal;

struct Line {
    explicit Line(int number) : number(number) { }
    int number;
    SimProcess sim;
    TLineList list;
    test::FixedSettings settings;
    test::RecordingView view;
    std::unique_ptr<TLinePoller> poller;
};

class DosingRoundTrip : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        ASSERT_TRUE(QDir().mkpath(home.path() + "/Vistam/dosdevices"));
        for (auto& line : lines)
            StartLine(*line, line->number == 1);
    }
    void StartLine(Line& line, bool kr200)
    {
        const QString work = home.path() + QString("/sim%1").arg(line.number);
        ASSERT_TRUE(QDir().mkpath(work));
        const char* model = kr200 ? "KR200" : "KR100";
        QStringList options {"--cycle-ms", "4000", "--verbose"};
        for (int net : {5, 6}) {
            // Line 1 weighs 50 kg portions, line 2 70 kg ones; two decimals on both.
            options
                << "--terminal"
                << QString("%1:%2:P%1:%3:2").arg(net).arg(model).arg(line.number == 1 ? 50 : 70);
            line.list.push_back(
                std::make_unique<TMain_Karvel>(static_cast<uint8_t>(net), "P", kr200));
            line.list.back()->ExternNum = static_cast<uint16_t>(line.list.size() - 1);
            line.list.back()->FOnReadDozeParam = [this](uint8_t pos, uint8_t eNum,
                                                        const TDosageStructure& d) {
                window.Show(pos, eNum, d);
            };
        }
        const QString link = home.path() + QString("/Vistam/dosdevices/com%1").arg(line.number);
        ASSERT_TRUE(line.sim.Start(link, work, options));
        line.settings.port = {true, line.number - 1, 1, {}};
        line.poller = std::make_unique<TLinePoller>(LineTraits(line.number), line.list,
                                                    line.settings, line.view);
        line.poller->Init();
        ASSERT_TRUE(line.poller->Port().Connected());
    }
    Line& L(int number) { return *lines[static_cast<size_t>(number - 1)]; }
    TLineList* List(int number) { return number >= 1 && number <= 2 ? &L(number).list : nullptr; }

    QTemporaryDir home;
    std::array<std::unique_ptr<Line>, 2> lines {std::make_unique<Line>(1),
                                                std::make_unique<Line>(2)};
    TDozStructPar window {[this](int n) -> const TLineList* { return List(n); }};
};

TEST_F(DosingRoundTrip, TheWriteGoesBackToTheTerminalTheValuesCameFrom)
{
    for (int n : {1, 2})
        ASSERT_TRUE(WaitUntil(
            [&] { return L(n).list[1]->Connect && L(n).list[1]->DelDecPoint == 100; }, 10000));

    // "Параметры" for terminal 6 (position 1) on both lines. Line 1's window is changed and
    // written; line 2's, shown when line 1's closes or before it, is cancelled.
    struct Seen {
        int line;
        QString portion;
    };
    std::vector<Seen> seen;
    std::function<void()> operate = [&] {
        WhenModal([&](QWidget*) {
            seen.push_back({window.TecLine(), window.Edit(0)->text()});
            if (window.TecLine() == 1) {
                window.Edit(0)->setText("12.34");
                window.WriteButton()->click();
            } else {
                window.CancelButton()->click();
            }
            if (seen.size() < 2)
                operate();
        });
    };
    operate();
    for (int n : {1, 2}) {
        L(n).view.selected = 1;
        ASSERT_TRUE(ParamBtnClick(window, *L(n).poller, n, n == 1));
    }
    ASSERT_TRUE(WaitUntil([&] { return seen.size() == 2; }, 10000));
    std::sort(seen.begin(), seen.end(),
              [](const Seen& a, const Seen& b) { return a.line < b.line; });
    EXPECT_EQ(seen[0].line, 1);
    EXPECT_EQ(seen[0].portion, "50.00");
    EXPECT_EQ(seen[1].line, 2);
    EXPECT_EQ(seen[1].portion, "70.00");

    ASSERT_TRUE(WaitUntil(
        [&] { return L(1).sim.Trace().contains("dosing parameters written, portion 12.34"); },
        5000))
        << L(1).sim.Trace().right(2000).toStdString();
    test::RunFor(500);
    EXPECT_FALSE(L(2).sim.Trace().contains("dosing parameters written"));
    EXPECT_FALSE(L(1).sim.Trace().contains("rx 05 B4")) << "only terminal 6 of line 1";

    // Read back: line 1's terminal 6 now holds the new portion.
    QString portion;
    WhenModal([&](QWidget*) {
        portion = window.Edit(0)->text();
        window.CancelButton()->click();
    });
    ASSERT_TRUE(ParamBtnClick(window, *L(1).poller, 1, true));
    ASSERT_TRUE(WaitUntil([&] { return !portion.isEmpty(); }, 10000));
    EXPECT_EQ(portion, "12.34");
}

} // namespace
} // namespace karvel

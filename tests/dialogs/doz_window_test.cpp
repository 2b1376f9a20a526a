// The dosing parameters window: shown from a terminal's answer, it writes the device
// integers back into that terminal and records the write there and nowhere else.
#include "doz_struct_par.h"
#include "modal.h"
#include "qstring_print.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace karvel {
namespace {

using test::WhenModal;

// A B3h answer: the six values in packed BCD, least significant byte first.
std::vector<uint8_t> ReadDozAnswer(uint8_t net, uint32_t tankage, uint16_t hold, uint16_t gate,
                                   uint32_t wLadel, uint32_t capacity, uint32_t oSigma)
{
    std::vector<uint8_t> packet {net, CodeReadDoz};
    auto put = [&](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i, value /= 100)
            packet.push_back(static_cast<uint8_t>(((value / 10) % 10) << 4 | (value % 10)));
    };
    put(tankage, 3);
    put(hold, 2);
    put(gate, 2);
    put(wLadel, 3);
    put(capacity, 3);
    put(oSigma, 3);
    return packet;
}

class DozWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Line 1 of KR-200 terminals, line 2 of KR-100 terminals; the same positions on both.
        const std::array<bool, 2> kr200 {true, false};
        for (int line = 0; line < 2; ++line) {
            for (uint8_t net : {5, 6}) {
                auto terminal = std::make_unique<TMain_Karvel>(
                    static_cast<uint8_t>(net + 10 * line), "P", kr200[line]);
                terminal->ExternNum = static_cast<uint16_t>(lists[line].size());
                terminal->DelDecPoint = 100;
                terminal->Pos = 2;
                terminal->FOnReadDozeParam = [this](uint8_t pos, uint8_t eNum,
                                                    const TDosageStructure& d) {
                    shown = window.Show(pos, eNum, d);
                };
                lists[line].push_back(std::move(terminal));
            }
        }
    }
    TMain_Karvel& At(int line, size_t pos) { return *lists[static_cast<size_t>(line - 1)][pos]; }
    // The operator's part while the window is open.
    void Operate(std::function<void()> act)
    {
        WhenModal([act = std::move(act)](QWidget*) { act(); });
    }
    void Answer(TMain_Karvel& terminal, const std::vector<uint8_t>& packet)
    {
        terminal.Exec(Packet(packet));
    }

    std::array<TLineList, 4> lists;
    TDozStructPar window {[this](int line) -> const TLineList* {
        return line >= 1 && line <= 4 ? &lists[static_cast<size_t>(line - 1)] : nullptr;
    }};
    bool shown = false;
};

TEST_F(DozWindow, WritesTheDeviceIntegersIntoTheTerminalItCameFromAndRecordsTheWrite)
{
    window.ParamRequested(1, 1, true);
    window.ParamRequested(2, 1, false); // another line asks meanwhile, same position
    At(1, 1).Command_ReadDoz();
    QStringList texts;
    Operate([&] {
        for (int row = 0; row < kDozRows; ++row)
            texts << window.Edit(row)->text();
        window.Edit(0)->setText("12.5");
        window.Edit(5)->setText("3");
        window.WriteButton()->click();
    });
    Answer(At(1, 1), ReadDozAnswer(6, 5025, 15, 37, 30, 120000, 12345));
    ASSERT_TRUE(shown);
    EXPECT_EQ(texts, QStringList({"50.25", "1.5", "3.7", "0.30", "1200.00", "12.345"}));
    EXPECT_EQ(window.TecLine(), 1);
    EXPECT_EQ(window.TecDoz(), 1);
    const TDosageStructure& d = At(1, 1).DosageStructure;
    EXPECT_EQ(d.TankageLadel, 1250);
    EXPECT_EQ(d.TVidergki, 15);
    EXPECT_EQ(d.TDampers, 37);
    EXPECT_EQ(d.WLadel, 30);
    EXPECT_EQ(d.Capacity, 120000);
    EXPECT_EQ(d.OSigma, 3000);
    // The write goes out as this terminal's next request: B4h with the BCD values.
    EXPECT_EQ(At(1, 1).Status, 11);
    const std::vector<uint8_t> request(At(1, 1).OutArray.begin(),
                                       At(1, 1).OutArray.begin() + At(1, 1).OutCol);
    EXPECT_EQ(request,
              (std::vector<uint8_t> {6, 0xB4, 0x50, 0x12, 0x00, 0x15, 0x00, 0x37, 0x00, 0x30, 0x00,
                                     0x00, 0x00, 0x00, 0x12, 0x00, 0x30, 0x00}));
    // The terminal at the same position of the line that asked later is untouched.
    EXPECT_EQ(At(2, 1).subStatus, 0);
    EXPECT_EQ(At(2, 1).DosageStructure.TankageLadel, 0);
    EXPECT_NE(At(2, 1).Status, 11);
}

TEST_F(DozWindow, ParametersOfAnotherLineArrivingMeanwhileWaitUntilTheWindowCloses)
{
    window.ParamRequested(1, 1, true);
    window.ParamRequested(2, 1, false);
    QString firstText;
    int firstLine = 0;
    QString secondText;
    int secondLine = 0;
    Operate([&] {
        // Line 2 goes on polling while line 1's window is open: its answer comes now.
        Answer(At(2, 1), ReadDozAnswer(16, 700, 1, 1, 1, 1, 1));
        firstText = window.Edit(0)->text();
        firstLine = window.TecLine();
        window.Edit(0)->setText("12");
        window.WriteButton()->click();
        Operate([&] {
            secondText = window.Edit(0)->text();
            secondLine = window.TecLine();
            window.Edit(0)->setText("8");
            window.WriteButton()->click();
        });
    });
    Answer(At(1, 1), ReadDozAnswer(6, 500, 1, 1, 1, 1, 1));
    EXPECT_EQ(firstText, "5.00");
    EXPECT_EQ(firstLine, 1);
    EXPECT_EQ(secondText, "7.00");
    EXPECT_EQ(secondLine, 2);
    EXPECT_EQ(At(1, 1).DosageStructure.TankageLadel, 1200);
    EXPECT_EQ(At(2, 1).DosageStructure.TankageLadel, 800);
    EXPECT_EQ(At(1, 1).Status, 11);
    // Line 2's terminal had finished its answer already: the write goes out after its
    // next good answer.
    EXPECT_EQ(At(2, 1).subStatus, 11);
}

TEST_F(DozWindow, CaptionsAndTooltipsFollowTheTerminalTheValuesCameFrom)
{
    window.ParamRequested(1, 0, true);
    window.ParamRequested(2, 0, false);
    QString label3;
    QString label5;
    QString tip2;
    Operate([&] {
        label3 = window.Caption(2)->text();
        label5 = window.Caption(4)->text();
        tip2 = window.Edit(1)->toolTip();
        window.CancelButton()->click();
    });
    Answer(At(1, 0), ReadDozAnswer(5, 1, 1, 1, 1, 1, 1));
    EXPECT_EQ(label3, QStringLiteral("Максимально разрешенное время выгрузки"));
    EXPECT_EQ(label5, QStringLiteral("Ограничение по проиводительности весов"));
    EXPECT_EQ(tip2, QStringLiteral("SEL_8.17"));

    Operate([&] {
        label3 = window.Caption(2)->text();
        tip2 = window.Edit(1)->toolTip();
        window.reject();
    });
    Answer(At(2, 0), ReadDozAnswer(15, 1, 1, 1, 1, 1, 1));
    EXPECT_EQ(label3, QStringLiteral("Время открытого состояния нижней заслонки"));
    EXPECT_EQ(tip2, QStringLiteral("SEL_8.4"));
}

TEST_F(DozWindow, InitBerorShowSetsTheModelTexts)
{
    EXPECT_EQ(window.Caption(4)->text(), QStringLiteral("Величина заданной производительности"));
    window.InitBerorShow(false);
    const std::array<const char*, 6> kr100 {"SEL_8.3", "SEL_8.4", "SEL_8.5",
                                            "SEL_8.2", "SEL_8.6", "SEL_8.9"};
    for (int row = 0; row < kDozRows; ++row)
        EXPECT_EQ(window.Edit(row)->toolTip(),
                  QString::fromLatin1(kr100[static_cast<size_t>(row)]));
    EXPECT_EQ(window.Caption(4)->text(), QStringLiteral("Величина заданной проиводительности"));
    window.InitBerorShow(true);
    const std::array<const char*, 6> kr200 {"SEL_8.3",  "SEL_8.17", "SEL_8.12",
                                            "SEL_8.10", "SEL_8.7",  "SEL_8.2"};
    for (int row = 0; row < kDozRows; ++row)
        EXPECT_EQ(window.Edit(row)->toolTip(),
                  QString::fromLatin1(kr200[static_cast<size_t>(row)]));
}

TEST_F(DozWindow, AFailedRowWritesNothingAndTheWindowStaysOpenUntilCorrected)
{
    window.ParamRequested(2, 0, false);
    QString firstStatus;
    bool openAfterFailure = false;
    uint16_t subStatusAfterFailure = 99;
    double tankageAfterFailure = -1;
    Operate([&] {
        window.Edit(0)->setText("7");
        window.Edit(3)->setText("1,5");
        window.WriteButton()->click();
        firstStatus = window.StatusText();
        openAfterFailure = window.isVisible();
        subStatusAfterFailure = At(2, 0).subStatus;
        tankageAfterFailure = At(2, 0).DosageStructure.TankageLadel;
        window.Edit(3)->setText("1.5");
        window.WriteButton()->click();
    });
    Answer(At(2, 0), ReadDozAnswer(15, 100, 1, 1, 1, 1, 1));
    EXPECT_EQ(firstStatus, DozRowMessage(3));
    EXPECT_TRUE(openAfterFailure);
    EXPECT_EQ(subStatusAfterFailure, 0);
    EXPECT_EQ(tankageAfterFailure, 1.0); // still the value read
    EXPECT_TRUE(window.StatusText().isEmpty());
    EXPECT_EQ(At(2, 0).DosageStructure.TankageLadel, 700);
    EXPECT_EQ(At(2, 0).DosageStructure.WLadel, 150);
    EXPECT_EQ(At(2, 0).Status, 11);
}

TEST_F(DozWindow, AValueTheTerminalCannotCarryIsRefused)
{
    window.ParamRequested(1, 0, true);
    QString status;
    Operate([&] {
        window.Edit(1)->setText("1000"); // 10000 tenths: more than four digits
        window.WriteButton()->click();
        status = window.StatusText();
        window.reject();
    });
    Answer(At(1, 0), ReadDozAnswer(5, 1, 1, 1, 1, 1, 1));
    EXPECT_EQ(status, DozRowMessage(1));
    EXPECT_NE(At(1, 0).Status, 11);
    EXPECT_EQ(At(1, 0).DosageStructure.TVidergki, 0.1);
}

TEST_F(DozWindow, CancelAndEscapeWriteNothing)
{
    for (bool escape : {false, true}) {
        window.ParamRequested(1, 0, true);
        Operate([&] {
            window.Edit(0)->setText("9");
            if (escape)
                window.reject();
            else
                window.CancelButton()->click();
        });
        Answer(At(1, 0), ReadDozAnswer(5, 300, 1, 1, 1, 1, 1));
        EXPECT_EQ(At(1, 0).DosageStructure.TankageLadel, 3.0);
        EXPECT_NE(At(1, 0).Status, 11);
    }
}

TEST_F(DozWindow, BeforeTheFirstWeightAnswerTheDivisorIsOne)
{
    At(1, 0).DelDecPoint = 0; // no weight answer yet: the terminal read with divisor 1
    At(1, 0).Pos = 0;
    window.ParamRequested(1, 0, true);
    Operate([&] { window.WriteButton()->click(); });
    Answer(At(1, 0), ReadDozAnswer(5, 42, 1, 1, 7, 8, 9));
    EXPECT_EQ(At(1, 0).DosageStructure.TankageLadel, 42);
    EXPECT_EQ(At(1, 0).DosageStructure.WLadel, 7);
    EXPECT_EQ(At(1, 0).DosageStructure.OSigma, 9);
}

TEST_F(DozWindow, ParametersOfATerminalThatCannotBeToldAreNotShown)
{
    window.ParamRequested(1, 1, true);
    window.ParamRequested(2, 1, false);
    const TDosageStructure copy = At(1, 1).DosageStructure;
    EXPECT_FALSE(window.Show(2, 1, copy));
    EXPECT_FALSE(window.isVisible());
}

} // namespace
} // namespace karvel

// Conversion of the dosing parameter texts and the choice of the terminal they go back to.
#include "doz_requests.h"
#include "doz_values.h"
#include "qstring_print.h"

#include <gtest/gtest.h>

#include <cmath>

namespace karvel {
namespace {

TDozTexts Texts(std::initializer_list<const char*> six)
{
    TDozTexts texts;
    size_t i = 0;
    for (const char* t : six)
        texts[i++] = QString::fromUtf8(t);
    return texts;
}

const TDozTexts kGood = Texts({"1", "1", "1", "1", "1", "1"});

TDozTexts With(int row, const char* text)
{
    TDozTexts texts = kGood;
    texts[static_cast<size_t>(row)] = QString::fromUtf8(text);
    return texts;
}

struct NumberCase {
    const char* text;
    bool ok;
    double value;
};

class ParseNumber : public ::testing::TestWithParam<NumberCase> { };

TEST_P(ParseNumber, PointIsTheOnlyDecimalMark)
{
    const auto [text, ok, value] = GetParam();
    const std::optional<double> parsed = ParseDozNumber(QString::fromUtf8(text));
    ASSERT_EQ(parsed.has_value(), ok) << text;
    if (ok) {
        EXPECT_DOUBLE_EQ(*parsed, value) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseNumber,
    ::testing::Values(NumberCase {"12.5", true, 12.5}, NumberCase {" 3 ", true, 3},
                      NumberCase {"-0.25", true, -0.25}, NumberCase {"+.5", true, 0.5},
                      NumberCase {"1.", true, 1}, NumberCase {"1e3", true, 1000},
                      NumberCase {"2.5E-1", true, 0.25}, NumberCase {"1,5", false, 0},
                      NumberCase {"1 000", false, 0}, NumberCase {"", false, 0},
                      NumberCase {"abc", false, 0}, NumberCase {"inf", false, 0},
                      NumberCase {"nan", false, 0}, NumberCase {"1e999", false, 0},
                      NumberCase {"0x10", false, 0}, NumberCase {".", false, 0}));

struct RowCase {
    int row;
    const char* text;
    double divisor;
    uint32_t device;
};

class ConvertRow : public ::testing::TestWithParam<RowCase> { };

TEST_P(ConvertRow, ScalesAndRoundsHalvesToEven)
{
    const auto [row, text, divisor, device] = GetParam();
    const TDozConversion result = ConvertDozTexts(With(row, text), divisor);
    ASSERT_TRUE(result.Ok()) << result.message.toStdString();
    EXPECT_EQ(result.raw[static_cast<size_t>(row)], device);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ConvertRow,
    ::testing::Values(RowCase {1, "0.25", 100, 2}, RowCase {1, "0.75", 100, 8},
                      RowCase {2, "0.05", 1, 0}, RowCase {2, "999.9", 1, 9999},
                      RowCase {0, "12.5", 100, 1250}, RowCase {0, "0.125", 100, 12},
                      RowCase {0, "0.135", 1000, 135}, RowCase {5, "3", 100, 3000},
                      RowCase {5, "0.0125", 1000, 125}, RowCase {3, "9999.99", 100, 999999},
                      RowCase {4, "-0.004", 100, 0}, RowCase {0, "1e2", 10, 1000},
                      RowCase {4, "7", 1, 7}));

TEST(ConvertDoz, AllSixRowsWithTheirScales)
{
    const TDozConversion result =
        ConvertDozTexts(Texts({"50.25", "1.5", "2.5", "0.3", "12", "1.005"}), 100);
    ASSERT_TRUE(result.Ok());
    EXPECT_EQ(result.raw, (TDozRaw {5025, 15, 25, 30, 1200, 1005}));
}

struct FailCase {
    TDozTexts texts;
    int failedRow;
};

class ConvertFails : public ::testing::TestWithParam<FailCase> { };

TEST_P(ConvertFails, ReportsTheFirstFailingRowOnly)
{
    const auto& [texts, failedRow] = GetParam();
    const TDozConversion result = ConvertDozTexts(texts, 100);
    EXPECT_FALSE(result.Ok());
    EXPECT_EQ(result.failedRow, failedRow);
    EXPECT_EQ(result.message, DozRowMessage(failedRow));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ConvertFails,
    ::testing::Values(
        FailCase {With(0, "1,5"), 0}, FailCase {Texts({"1", "x", "1", "y", "1", "1"}), 1},
        FailCase {Texts({"1", "1", "1", "1,5", "", ""}), 3}, FailCase {With(5, ""), 5},
        // Values the terminal cannot carry: negative, more than six digits,
        // more than four digits for the two times.
        FailCase {With(0, "-1"), 0}, FailCase {With(0, "10000"), 0}, FailCase {With(3, "-0.01"), 3},
        FailCase {With(4, "1e6"), 4}, FailCase {With(5, "1000"), 5}, FailCase {With(1, "1000"), 1},
        FailCase {With(2, "999.96"), 2}, FailCase {Texts({"1", "1", "-5", "1", "1", "1e9"}), 2}));

TEST(ConvertDoz, MessagesKeepTheirBlanks)
{
    EXPECT_EQ(DozRowMessage(0), QStringLiteral(" Ошибка ввода: \"Ёмкость ковша\" "));
    EXPECT_EQ(DozRowMessage(1),
              QStringLiteral(" Ошибка ввода: \"Время выдержки веса перед фиксацией показаний\" "));
    EXPECT_EQ(DozRowMessage(2),
              QStringLiteral("  Ошибка ввода: \"Время открытого состояния нижней заслонки\" "));
    EXPECT_EQ(DozRowMessage(3), QStringLiteral("  Ошибка ввода: \"Пороговый вес пустого ковша\" "));
    EXPECT_EQ(DozRowMessage(4),
              QStringLiteral("  Ошибка ввода: \"Величина заданной проиводительности (т/ч)\" "));
    EXPECT_EQ(DozRowMessage(5),
              QStringLiteral("  Ошибка ввода: \"Величина ограниченной суммы (доза)\" "));
}

TEST(DozTexts, ShowEveryRowWithItsFullResolution)
{
    TDosageStructure d;
    d.TankageLadel = 50.25;
    d.TVidergki = 1.5;
    d.TDampers = 12.3;
    d.WLadel = 0.5;
    d.Capacity = 1234.56;
    d.OSigma = 3.001;
    const TDozTexts texts = DozTexts(d, 2);
    EXPECT_EQ(texts, Texts({"50.25", "1.5", "12.3", "0.50", "1234.56", "3.001"}));
    EXPECT_EQ(DozTexts(d, 0)[0], QStringLiteral("50"));
}

TEST(DozTexts, AWriteWithoutEditingSendsBackWhatWasRead)
{
    // Device integers as a terminal with two weight decimals sends them.
    const TDozRaw device {123456, 9999, 37, 1, 999999, 12345};
    TDosageStructure d;
    d.TankageLadel = device[0] / 100.0;
    d.TVidergki = device[1] / 10.0;
    d.TDampers = device[2] / 10.0;
    d.WLadel = device[3] / 100.0;
    d.Capacity = device[4] / 100.0;
    d.OSigma = device[5] / 1000.0;
    const TDozConversion result = ConvertDozTexts(DozTexts(d, 2), 100);
    ASSERT_TRUE(result.Ok());
    EXPECT_EQ(result.raw, device);
}

// Two lines with terminals at the same positions.
class Requests : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int line = 0; line < 2; ++line) {
            for (uint8_t net : {5, 6}) {
                lists[line].push_back(std::make_unique<TMain_Karvel>(net, "P", true));
                lists[line].back()->ExternNum = static_cast<uint16_t>(lists[line].size() - 1);
            }
        }
    }
    TMain_Karvel* At(int line, size_t pos) { return lists[line - 1][pos].get(); }

    std::array<TLineList, 2> lists;
    TLineLookup lookup = [this](int line) -> const TLineList* {
        return line >= 1 && line <= 2 ? &lists[static_cast<size_t>(line - 1)] : nullptr;
    };
    TDozRequests requests;
};

TEST_F(Requests, TheTerminalsOwnRecordNamesItsLineWhoeverAskedLast)
{
    requests.Note(1, 1);
    requests.Note(2, 1);
    const TDozSource source = requests.Take(1, At(1, 1)->DosageStructure, lookup);
    EXPECT_EQ(source.line, 1);
    EXPECT_EQ(source.terminal, At(1, 1));
    EXPECT_EQ(requests.PendingCount(), 1u);
}

TEST_F(Requests, ACopyGoesToTheOneLineWaitingAtThatPosition)
{
    requests.Note(1, 0);
    requests.Note(2, 1);
    const TDosageStructure copy = At(2, 1)->DosageStructure;
    const TDozSource source = requests.Take(1, copy, lookup);
    EXPECT_EQ(source.line, 2);
    EXPECT_EQ(source.terminal, At(2, 1));
    EXPECT_EQ(requests.PendingCount(), 1u);
}

TEST_F(Requests, ACopyWithTwoLinesWaitingOrNoneIsNotResolved)
{
    const TDosageStructure copy;
    EXPECT_EQ(requests.Take(1, copy, lookup).terminal, nullptr);
    requests.Note(1, 1);
    requests.Note(2, 1);
    EXPECT_EQ(requests.Take(1, copy, lookup).terminal, nullptr);
    // A position past the end of the waiting line's list resolves to nothing either.
    requests.Clear();
    requests.Note(2, 7);
    EXPECT_EQ(requests.Take(7, copy, lookup).terminal, nullptr);
}

} // namespace
} // namespace karvel

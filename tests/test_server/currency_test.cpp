#include "currency.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace karvel::server {
namespace {

TEST(CurrencyTest, ConvertsTimesTenThousandRoundingHalfToEven)
{
    const std::pair<double, Currency> cases[] = {
        {0.0, 0},
        {1234.5, 12345000},
        {12.35, 123500},
        {-7.25, -72500},
        // Ties (the product is exactly half a unit) go to the even neighbour.
        {0.00005, 0},
        {0.00025, 2},
        {0.00035, 4},
        {0.00045, 4},
        {-0.00025, -2},
        {-0.00035, -4},
        {0.12345, 1234},
        {0.12355, 1236},
        // 0.00015 is a little less than that as a double: it rounds down.
        {0.00015, 1},
        {0.000051, 1},
        {100000000000.0, 1000000000000000},
    };
    for (const auto& [value, expected] : cases) {
        const auto converted = toCurrency(value);
        ASSERT_TRUE(converted.has_value()) << value;
        EXPECT_EQ(*converted, expected) << value;
    }
}

TEST(CurrencyTest, ValuesOutsideCurrencyDoNotConvert)
{
    const double cases[] = {
        std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(),
        1e15,
        -1e15,
        std::numeric_limits<double>::max(),
    };
    for (double value : cases)
        EXPECT_FALSE(toCurrency(value).has_value()) << value;
}

TEST(CurrencyTest, GeneralFormatText)
{
    const std::tuple<Currency, const char*, const char*> cases[] = {
        {12345000, ",", "1234,5"},
        {123500, ",", "12,35"},
        {120000, ",", "12"},
        {12345000, ".", "1234.5"},
        {0, ",", "0"},
        {1, ",", "0,0001"},
        {-72500, ",", "-7,25"},
        {10000000000000, ",", "1000000000"}, // no thousands separator
        {12345678901234567, ",", "1234567890123,46"}, // 15 significant digits, rounded
        {99999999999999995, ",", "10000000000000"}, // the carry ripples up
        {std::numeric_limits<Currency>::max(), ",", "922337203685478"},
        {std::numeric_limits<Currency>::min(), ",", "-922337203685478"},
        {123456789012345, ",", "12345678901,2345"}, // exactly 15 digits: kept
    };
    for (const auto& [value, point, expected] : cases)
        EXPECT_EQ(currencyText(value, QString::fromUtf8(point)), QString::fromUtf8(expected))
            << value;
}

} // namespace
} // namespace karvel::server

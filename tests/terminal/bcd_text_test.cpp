// Packed BCD and the fixed-point number texts.
#include "bcd.h"
#include "fixed_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace karvel {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(Bcd, ThreeAndFiveBytesLeastSignificantFirst)
{
    EXPECT_EQ(BCD3B(Bytes {0x00, 0x00, 0x00}, 0), 0);
    EXPECT_EQ(BCD3B(Bytes {0x99, 0x99, 0x99}, 0), 999999);
    EXPECT_EQ(BCD3B(Bytes {0x45, 0x23, 0x01}, 0), 12345);
    EXPECT_EQ(BCD3B(Bytes {0x0A, 0x00, 0x00}, 0), 10) << "nibbles are not validated";
    EXPECT_EQ(BCD3B(Bytes {0xEE, 0x45, 0x23, 0x01}, 1), 12345);
    EXPECT_EQ(BCD5B(Bytes {0x89, 0x67, 0x45, 0x23, 0x01}, 0), 123456789);
    EXPECT_EQ(BCD5B(Bytes {0x99, 0x99, 0x99, 0x99, 0x99}, 0), 9999999999LL)
        << "ten digits never wrap";
    EXPECT_EQ(BCD3B(Bytes {0x45}, 0), 45) << "bytes past the end read as 0";
}

TEST(Bcd, WordToBcdWritesAllThreeBytes)
{
    const struct {
        uint32_t value;
        std::array<uint8_t, 3> bytes;
    } cases[] = {
        {0, {0x00, 0x00, 0x00}},
        {999999, {0x99, 0x99, 0x99}},
        {100, {0x00, 0x01, 0x00}},
        {12345, {0x45, 0x23, 0x01}},
    };
    for (const auto& c : cases) {
        std::array<uint8_t, 3> bcd {0xAA, 0xBB, 0xCC};
        WordToBCD(c.value, bcd);
        EXPECT_EQ(bcd, c.bytes) << c.value;
        EXPECT_EQ(BCD3B(bcd, 0), static_cast<int32_t>(c.value));
    }
}

TEST(FixedText, RoundsHalfAwayFromZeroWithADotAndNoNegativeZero)
{
    const struct {
        double value;
        int decimals;
        int precision;
        const char* text;
    } cases[] = {
        {1234.5, 2, 12, "1234.50"},
        {12.5, 0, 12, "13"},
        {-12.5, 0, 12, "-13"},
        {-0.25, 2, 12, "-0.25"},
        {7, 3, 12, "7.000"},
        {-0.0, 2, 12, "0.00"},
        {-0.004, 2, 12, "0.00"},
        {0.005, 2, 12, "0.01"},
        {9.995, 2, 12, "10.00"},
        {99.96, 1, 12, "100.0"},
        {150.07 - 100.02, 2, 12, "50.05"}, // a difference of two totals is not exact in binary
        {123.45, 2, 6, "123.45"},
        {0.0999999, 7, 6, "0.0999999"},
        {9999999999.0, 0, 12, "9999999999"},
        {99999999.99, 2, 12, "99999999.99"},
        {0.5, 0, 6, "1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FixedText(c.value, c.decimals, c.precision), c.text)
            << c.value << " / " << c.decimals;
}

} // namespace
} // namespace karvel

// The hopper indicator's geometry, checked against the line window's worked example.
#include "hopper_geometry.h"

#include <gtest/gtest.h>

namespace karvel {
namespace {

THopperSettings LineWindowHopper(bool open)
{
    return {137, 105, 5, 5, 50, 10, open};
}

TEST(HopperGeometry, LineWindowExample)
{
    const THopperGeometry g = HopperGeometry(LineWindowHopper(false));
    EXPECT_EQ(g.innerWidth, 127);
    EXPECT_EQ(g.innerHeight, 95);
    EXPECT_DOUBLE_EQ(g.shoulder, 52.5);
    EXPECT_EQ(g.y0, 52) << "the half goes to the even neighbour";
    EXPECT_EQ(g.outletY, 91);
    EXPECT_EQ(g.funnel, (std::array<THopperPoint, 4> {{{5, 52}, {132, 52}, {81, 91}, {56, 91}}}));
    EXPECT_EQ(g.body, (THopperRect {5, 5, 132, 50})) << "round(50.5) is 50";
    EXPECT_EQ(g.damper, (THopperRect {56, 93, 81, 98}));
    EXPECT_EQ(g.textTop, 13);
    EXPECT_EQ(g.textCentreX, 68);
    EXPECT_EQ(HopperGeometry(LineWindowHopper(true)).damper, (THopperRect {56, 93, 61, 95}));
}

TEST(HopperGeometry, NoConeMakesAPointedFunnelAndAClosedDamperOfNoWidth)
{
    THopperSettings s = LineWindowHopper(false);
    s.konusnost = 0;
    const THopperGeometry g = HopperGeometry(s);
    EXPECT_EQ(g.funnel[2], g.funnel[3]);
    EXPECT_EQ(g.damper.right - g.damper.left, 0);
}

} // namespace
} // namespace karvel

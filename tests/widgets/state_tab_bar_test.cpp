#include "state_tab_bar.h"
#include "widget_probe.h"

#include <gtest/gtest.h>

#include <array>

namespace karvel {
namespace {

using test::At;
using test::Picture;

class StateTabBarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 4; ++i)
            bar.addTab(QStringLiteral("88"));
        bar.SetTabColour(
            [this](int index) { return TabStateColour(states[index], bar.palette()); });
        bar.resize(bar.sizeHint());
    }

    // Dark pixels of the text inside tab `index`, away from its edges.
    int Ink(int index)
    {
        const QImage image = Picture(bar);
        const QRect inner = bar.tabRect(index).adjusted(4, 4, -4, -3);
        int ink = 0;
        for (int y = inner.top(); y <= inner.bottom(); ++y)
            for (int x = inner.left(); x <= inner.right(); ++x)
                ink += qGray(image.pixel(x, y)) < 80;
        return ink;
    }

    TStateTabBar bar;
    std::array<uint8_t, 4> states {0, 1, 2, 3};
};

TEST_F(StateTabBarTest, EachTabIsPaintedInTheColourOfItsState)
{
    const QImage image = Picture(bar);
    const std::array<QColor, 4> expected {bar.palette().color(QPalette::Button), QColor(0, 128, 0),
                                          QColor(255, 255, 0), QColor(255, 0, 0)};
    for (int i = 0; i < 4; ++i) {
        const QRect r = bar.tabRect(i);
        EXPECT_EQ(At(image, r.left() + 3, r.center().y()), expected[i]) << "tab " << i;
    }
}

TEST_F(StateTabBarTest, ANewStateShowsAtTheNextPaint)
{
    states[0] = 3;
    states[3] = 0;
    const QImage image = Picture(bar);
    EXPECT_EQ(At(image, bar.tabRect(0).left() + 3, bar.tabRect(0).center().y()), QColor(255, 0, 0));
    EXPECT_EQ(At(image, bar.tabRect(3).left() + 3, bar.tabRect(3).center().y()),
              bar.palette().color(QPalette::Button));
}

TEST_F(StateTabBarTest, StatesWithoutAColourKeepTheButtonFace)
{
    const QColor face = bar.palette().color(QPalette::Button);
    EXPECT_EQ(TabStateColour(4, bar.palette()), face);
    EXPECT_EQ(TabStateColour(255, bar.palette()), face);
    bar.SetTabColour({});
    EXPECT_EQ(bar.TabBackground(2), face);
}

TEST_F(StateTabBarTest, TheCurrentTabIsWrittenInBold)
{
    bar.setCurrentIndex(0);
    const int plain = Ink(2);
    EXPECT_TRUE(bar.TabFont(0).bold());
    EXPECT_FALSE(bar.TabFont(2).bold());

    bar.setCurrentIndex(2);
    EXPECT_TRUE(bar.TabFont(2).bold());
    EXPECT_FALSE(bar.TabFont(0).bold());
    EXPECT_GT(Ink(2), plain + plain / 5) << "the same text, bold, covers more pixels";
}

} // namespace
} // namespace karvel

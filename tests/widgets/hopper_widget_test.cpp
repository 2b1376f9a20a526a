// The hopper indicator painted with the line window's settings (137 x 105, margins 5,
// Proportion 50, Konusnost 10): body (5, 5, 132, 50), funnel down to y 91 with the
// outlet 56 .. 81, open damper (56, 93, 61, 95), closed damper (56, 93, 81, 98).
#include "hopper_widget.h"
#include "widget_probe.h"

#include <gtest/gtest.h>

#include <memory>

namespace karvel {
namespace {

using test::At;
using test::Picture;

const QColor kAqua(0, 255, 255);
const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);

class HopperWidgetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        hopper = std::make_unique<THopperWidget>();
        hopper->resize(137, 105);
        hopper->SetShiftUpDown(5);
        hopper->SetShiftLeftRight(5);
        hopper->SetProportion(50);
        hopper->SetKonusnost(10);
        hopper->SetCaption(QStringLiteral("0.0"));
        hopper->SetOpenClose(false);
        hopper->SetRadiusC(20);
        hopper->SetTextSize(14);
        hopper->SetColor(kAqua);
        hopper->SetTextBordColor(kAqua);
        face = hopper->palette().color(QPalette::Button);
    }

    std::unique_ptr<THopperWidget> hopper;
    QColor face;
};

TEST_F(HopperWidgetTest, PaintsBodyFunnelAndOutlinesOnTheButtonFace)
{
    const QImage image = Picture(*hopper);
    EXPECT_EQ(At(image, 1, 1), face); // margin
    EXPECT_EQ(At(image, 134, 30), face); // right of the body
    EXPECT_EQ(At(image, 10, 45), kAqua); // inside the body
    EXPECT_EQ(At(image, 5, 45), kBlack); // body's left edge
    EXPECT_EQ(At(image, 131, 45), kBlack); // body's right edge: 132 is excluded
    EXPECT_EQ(At(image, 132, 45), face);
    EXPECT_EQ(At(image, 60, 49), kBlack); // body's bottom edge at round(50.5) - 1
    EXPECT_EQ(At(image, 60, 50), face); // gap between body and funnel
    EXPECT_EQ(At(image, 68, 70), kAqua); // inside the funnel
    EXPECT_EQ(At(image, 20, 80), face); // beside the funnel
}

TEST_F(HopperWidgetTest, DamperClosedAcrossTheOutletOrOpenAsANarrowPlate)
{
    QImage image = Picture(*hopper);
    EXPECT_EQ(At(image, 68, 93), kBlack); // top edge of the closed plate
    EXPECT_EQ(At(image, 68, 95), kAqua); // its fill
    EXPECT_EQ(At(image, 56, 95), kBlack); // left edge
    EXPECT_EQ(At(image, 80, 95), kBlack); // right edge, 81 excluded
    EXPECT_EQ(At(image, 68, 97), kBlack); // bottom edge, 98 excluded
    EXPECT_EQ(At(image, 68, 98), face);

    hopper->SetOpenClose(true);
    image = Picture(*hopper);
    EXPECT_EQ(At(image, 68, 95), face); // nothing across the outlet
    EXPECT_EQ(At(image, 58, 93), kBlack); // the plate (56, 93, 61, 95)
    EXPECT_EQ(At(image, 60, 94), kBlack);
    EXPECT_EQ(At(image, 61, 94), face);
    EXPECT_EQ(At(image, 58, 95), face);
}

TEST_F(HopperWidgetTest, AlertMakesEveryFillRed)
{
    hopper->SetIsAlert(true);
    const QImage image = Picture(*hopper);
    EXPECT_EQ(At(image, 10, 45), kRed);
    EXPECT_EQ(At(image, 68, 70), kRed);
    EXPECT_EQ(At(image, 68, 95), kRed);
    int aqua = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            aqua += At(image, x, y) == kAqua;
    EXPECT_EQ(aqua, 0) << "the text box must be red too";
}

TEST_F(HopperWidgetTest, TextBoxIsOpaqueWithTheTextColour)
{
    hopper->SetTextBordColor(QColor(0, 0, 255));
    const QImage image = Picture(*hopper);
    // The text box stands on the body around its centre line, from y 13 down.
    int blue = 0;
    for (int y = 13; y < 40; ++y)
        for (int x = 40; x < 97; ++x)
            blue += At(image, x, y) == QColor(0, 0, 255);
    EXPECT_GT(blue, 50);
    EXPECT_EQ(At(image, 10, 15), kAqua); // the body beside it keeps its colour
    EXPECT_NE(At(image, 68, 12), QColor(0, 0, 255)); // nothing above the first line's top
}

TEST_F(HopperWidgetTest, EmptyHatchesTheFillsAndLeavesTheTextTransparent)
{
    hopper->SetTextBordColor(QColor(0, 0, 255));
    hopper->SetIsEmpty(true);
    const QImage image = Picture(*hopper);
    int hatch = 0, gap = 0, blue = 0;
    for (int y = 8; y < 47; ++y)
        for (int x = 8; x < 129; ++x) {
            const QColor c = At(image, x, y);
            hatch += c == kAqua;
            gap += c == face;
            blue += c == QColor(0, 0, 255);
        }
    EXPECT_GT(hatch, 100);
    EXPECT_GT(gap, 100);
    EXPECT_LT(blue, 40) << "hatched text has no box of its own";
}

TEST_F(HopperWidgetTest, SecondCaptionLineStandsOneTextHeightLower)
{
    const QImage one = Picture(*hopper);
    hopper->SetCaptionD(QStringLiteral("0.0"));
    const QImage two = Picture(*hopper);
    const QFontMetrics metrics([] {
        QFont f;
        f.setPointSize(14);
        return f;
    }());
    const int secondTop = 13 + metrics.height();
    int changed = 0;
    for (int y = 0; y < two.height(); ++y)
        for (int x = 0; x < two.width(); ++x)
            if (one.pixel(x, y) != two.pixel(x, y)) {
                EXPECT_GE(y, secondTop) << x << "," << y;
                ++changed;
            }
    EXPECT_GT(changed, 0);
}

TEST_F(HopperWidgetTest, SettersRepaintAtOnceButKonusnostWaitsForTheNextPaint)
{
    hopper->SetIsEmpty(false);
    test::ShowExposed(*hopper);
    test::PaintCounter paints(*hopper);

    hopper->SetCaption(QStringLiteral("12.5"));
    EXPECT_EQ(paints.count, 1) << "painted inside the setter";

    const QImage before = Picture(*hopper);
    paints.count = 0;
    hopper->SetKonusnost(30);
    QApplication::processEvents();
    EXPECT_EQ(paints.count, 0);
    EXPECT_EQ(hopper->Konusnost(), 30);

    // The next paint shows the wider outlet: 30 .. 107 instead of 56 .. 81.
    EXPECT_EQ(At(before, 40, 88), face);
    const QImage after = Picture(*hopper);
    EXPECT_EQ(At(after, 40, 88), kAqua);
}

TEST_F(HopperWidgetTest, PointedFunnelHasNoClosedDamper)
{
    hopper->SetKonusnost(0);
    hopper->SetOpenClose(false);
    const QImage image = Picture(*hopper);
    for (int y = 93; y < 98; ++y)
        for (int x = 60; x < 76; ++x)
            EXPECT_EQ(At(image, x, y), face) << x << "," << y;
}

} // namespace
} // namespace karvel

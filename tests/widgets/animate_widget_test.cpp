#include "animate_widget.h"
#include "widget_probe.h"

#include <QImageReader>

#include <gtest/gtest.h>

namespace karvel {
namespace {

TEST(AnimateWidgetTest, ClipIsTwentyLoopingFramesOf32Pixels)
{
    TAnimateWidget widget; // registers the clip's resource
    QImageReader clip(QStringLiteral(":/Eth_v.gif"));
    ASSERT_TRUE(clip.canRead()) << clip.errorString().toStdString();
    EXPECT_EQ(clip.imageCount(), TAnimateWidget::kClipFrames);
    EXPECT_EQ(clip.size(), QSize(32, 32));
    EXPECT_EQ(clip.loopCount(), -1); // for ever
    EXPECT_EQ(widget.Movie().frameCount(), TAnimateWidget::kClipFrames);
    EXPECT_EQ(widget.size(), QSize(17, 17));
    // 30 ms stored, played at 90 %: one frame every 33 ms.
    EXPECT_FALSE(clip.read().isNull());
    EXPECT_EQ(clip.nextImageDelay(), 30);
    EXPECT_EQ(clip.nextImageDelay() * 100 / widget.Movie().speed(),
              1000 / TAnimateWidget::kFramesPerSecond);
}

TEST(AnimateWidgetTest, PlaysWhileActiveAndHoldsAStillFrameWhenStopped)
{
    TAnimateWidget widget;
    test::ShowExposed(widget);
    EXPECT_FALSE(widget.Active());

    const int first = widget.Movie().currentFrameNumber();
    QApplication::processEvents();
    QApplication::processEvents(QEventLoop::AllEvents, 100);
    EXPECT_EQ(widget.Movie().currentFrameNumber(), first) << "not started";

    widget.SetActive(true);
    EXPECT_TRUE(widget.Active());
    EXPECT_TRUE(
        test::SpinUntil([&] { return widget.Movie().currentFrameNumber() != first; }, 1000));

    widget.SetActive(false);
    EXPECT_FALSE(widget.Active());
    const int still = widget.Movie().currentFrameNumber();
    const QImage shown = test::Picture(widget);
    test::SpinUntil([] { return false; }, 150);
    EXPECT_EQ(widget.Movie().currentFrameNumber(), still);
    EXPECT_EQ(test::Picture(widget), shown);

    widget.SetActive(true); // goes on from the still frame
    EXPECT_TRUE(
        test::SpinUntil([&] { return widget.Movie().currentFrameNumber() != still; }, 1000));
}

TEST(AnimateWidgetTest, ShowsTheClipScaledToTheControl)
{
    TAnimateWidget widget;
    const QImage image = test::Picture(widget);
    EXPECT_EQ(image.size(), QSize(17, 17));
    // The chute at the top of every frame is grey.
    int grey = 0;
    for (int x = 0; x < 17; ++x)
        grey += qAlpha(image.pixel(x, 0)) > 0 && qGray(image.pixel(x, 0)) > 60 &&
            qGray(image.pixel(x, 0)) < 180;
    EXPECT_GT(grey, 3);
}

} // namespace
} // namespace karvel

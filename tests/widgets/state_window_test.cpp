#include "state_lists.h"
#include "state_window.h"
#include "widget_probe.h"

#include <gtest/gtest.h>

namespace karvel {
namespace {

TEST(StateWindowTest, ShowsTheListsLineByLine)
{
    TStateLists lists;
    lists.AddPin(1, 5);
    lists.AddPin(3, 12);
    lists.AddPin(1, 2);
    TLogFrm window;
    window.ShowState(lists.ShowData());

    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Состояние системы"));
    EXPECT_EQ(window.Text(),
              QStringLiteral("Линия 1  Весы 5 - отсутствует связь!\n"
                             "Линия 1  Весы 2 - отсутствует связь!\n"
                             "Линия 3  Весы 12 - отсутствует связь!"));

    // A return leaves the text as it was until the next refresh; then it is gone.
    lists.DropPin(1, 5);
    EXPECT_TRUE(window.Text().startsWith(QStringLiteral("Линия 1  Весы 5 ")));
    window.ShowData(lists);
    EXPECT_EQ(window.Text(),
              QStringLiteral("Линия 1  Весы 2 - отсутствует связь!\n"
                             "Линия 3  Весы 12 - отсутствует связь!"));
}

TEST(StateWindowTest, EmptyListsGiveAnEmptyView)
{
    TLogFrm window;
    window.ShowData(QStringList {QStringLiteral("Линия 2  Весы 7 - отсутствует связь!")});
    window.ShowData(TStateLists {});
    EXPECT_TRUE(window.Text().isEmpty());
}

TEST(StateWindowTest, TextIsRedInAToolWindowOfTheDesignSize)
{
    TLogFrm window;
    window.ShowData(QStringList {QStringLiteral("Линия 4  Весы 30 - отсутствует связь!")});
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::Tool));
    EXPECT_EQ(window.size(), QSize(TLogFrm::kClientWidth, TLogFrm::kClientHeight));
    const QImage image = test::Picture(window);
    int red = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = test::At(image, x, y);
            red += c.red() > 180 && c.green() < 90 && c.blue() < 90;
        }
    EXPECT_GT(red, 20);
}

} // namespace
} // namespace karvel

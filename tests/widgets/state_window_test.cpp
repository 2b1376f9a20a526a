#include "state_lists.h"
#include "state_window.h"
#include "widget_probe.h"

#include <QPushButton>
#include <QTableWidget>

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

TLedgerDelivery SetAsideChange(int64_t seq, const std::string& product, const std::string& error)
{
    TLedgerDelivery d;
    d.change.seq = seq;
    d.change.changeId = "station:" + std::to_string(seq);
    d.change.bookedAtMs = 1'700'000'000'000;
    d.change.line = 2;
    d.change.netNum = 12;
    d.change.product = product;
    d.change.countC = 1234.5;
    d.change.countD = 10.25;
    d.state = ledger::TDeliveryState::SetAside;
    d.attempts = 3;
    d.lastError = error;
    return d;
}

TEST(StateWindowTest, TheChangesSetAsideAreListedWithTheirTwoAnswers)
{
    TLogFrm window;
    EXPECT_FALSE(window.SetAsideShown()) << "nothing set aside: the window as it always was";
    std::vector<int64_t> sentAgain, discarded;
    window.OnSendAgain = [&](int64_t seq) { sentAgain.push_back(seq); };
    window.OnDiscard = [&](int64_t seq) { discarded.push_back(seq); };
    window.ShowSetAside({SetAsideChange(7, "Пшеница", "Несоответствие типа (80020005h)"),
                         SetAsideChange(9, "Овес", "Неизвестное имя (80020006h)")});
    ASSERT_TRUE(window.SetAsideShown());
    QTableWidget* grid = window.SetAsideTable();
    ASSERT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(grid->item(0, 3)->text(), QStringLiteral("Пшеница"));
    EXPECT_EQ(grid->item(0, 4)->text(), QStringLiteral("1234.50"));
    EXPECT_EQ(grid->item(0, 6)->text(), QStringLiteral("3"));
    EXPECT_EQ(grid->item(1, 7)->text(), QStringLiteral("Неизвестное имя (80020006h)"));
    EXPECT_EQ(window.SelectedSetAside(), 7) << "the first is selected";

    window.SendAgainButton()->click();
    grid->selectRow(1);
    window.DiscardButton()->click();
    EXPECT_EQ(sentAgain, std::vector<int64_t> {7});
    EXPECT_EQ(discarded, std::vector<int64_t> {9});

    window.ShowSetAside({});
    EXPECT_FALSE(window.SetAsideShown());
    EXPECT_EQ(window.SelectedSetAside(), 0);
}

} // namespace
} // namespace karvel

// The report window on the offscreen platform: its table and chart of a known ledger, the
// highlighted series, the export, and a ledger that is not there.
#include "known_ledger.h"
#include "report_form.h"
#include "wait.h"

#include <QAbstractSeries>
#include <QChartView>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLineSeries>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace karvel;
using namespace karvel::report;
using namespace karvel::report::testing;

namespace {

class ReportWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        ledger_ = dir_.filePath(QStringLiteral("ledger.db"));
        ASSERT_TRUE(WriteKnownLedger(ledger_.toStdString()));
    }

    std::unique_ptr<TReportForm> MakeForm(const char* now, const QString& ledger, int refreshMs = 0)
    {
        TReportFormOptions options;
        options.refreshMs = refreshMs;
        options.ledgerPath = ledger;
        options.storePath = dir_.filePath(QStringLiteral("Karvel_net.reg"));
        options.zone = kBerlin;
        const int64_t at = Berlin(now);
        options.clock = [at] { return QDateTime::fromMSecsSinceEpoch(at, kBerlin); };
        auto form = std::make_unique<TReportForm>(options);
        form->resize(900, 640);
        return form;
    }

    // Waits for the report (or the export) that is being computed.
    static bool Settled(TReportForm& form)
    {
        return test::WaitUntil([&] { return !form.Busy(); }, 20000);
    }

    static QString Cell(TReportForm& form, int row, int column)
    {
        auto* table = form.findChild<QTableWidget*>(QStringLiteral("ReportGrid"));
        const QTableWidgetItem* item = table->item(row, column);
        return item ? item->text() : QString();
    }

    QTemporaryDir dir_;
    QString ledger_;
};

TEST_F(ReportWindow, ShowsThisShiftPerProductWithATotalRow)
{
    auto form = MakeForm("2026-03-29 05:00:00", ledger_); // the 11-hour spring night
    form->SetGrouping(TGrouping::Product);
    form->ShowReport();
    ASSERT_TRUE(Settled(*form));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Отчёт"));
    auto* table = form->findChild<QTableWidget*>(QStringLiteral("ReportGrid"));
    ASSERT_EQ(table->rowCount(), 4);
    const std::vector<QStringList> expected = {
        {QStringLiteral("Овёс"), QStringLiteral("7"), QStringLiteral("3"), QStringLiteral("3"),
         QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0")},
        {QStringLiteral("Пшеница"), QStringLiteral("10"), QStringLiteral("1"), QStringLiteral("1"),
         QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0")},
        {QStringLiteral("Рожь"), QStringLiteral("33.25"), QStringLiteral("2"), QStringLiteral("1"),
         QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("0")},
        {QStringLiteral("Итого"), QStringLiteral("50.25"), QStringLiteral("6"), QStringLiteral("5"),
         QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("0")}};
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 7; ++column)
            EXPECT_EQ(Cell(*form, row, column), expected[static_cast<size_t>(row)][column])
                << row << "," << column;
    EXPECT_EQ(table->horizontalHeaderItem(0)->text(), QStringLiteral("Продукт"));
    EXPECT_TRUE(form->StatusText().contains(QStringLiteral("28.03.2026 20:00 – 29.03.2026 08:00")))
        << form->StatusText().toStdString();

    auto* chart = form->findChild<QChartView*>(QStringLiteral("ReportChart"))->chart();
    ASSERT_EQ(chart->series().size(), 3);
    auto* rye = static_cast<QLineSeries*>(chart->series()[2]);
    EXPECT_EQ(rye->name(), QStringLiteral("Рожь"));
    ASSERT_EQ(rye->count(), 11); // one point per hour of the night
    EXPECT_EQ(rye->at(0).y(), 25.25); // 20:00
    EXPECT_EQ(rye->at(10).y(), 8); // 07:59:59 CEST
}

TEST_F(ReportWindow, TheSelectedRowsSeriesStandsOut)
{
    auto form = MakeForm("2026-03-29 05:00:00", ledger_);
    form->SetGrouping(TGrouping::Product);
    form->ShowReport();
    ASSERT_TRUE(Settled(*form));
    auto* table = form->findChild<QTableWidget*>(QStringLiteral("ReportGrid"));
    auto* chart = form->findChild<QChartView*>(QStringLiteral("ReportChart"))->chart();
    EXPECT_EQ(form->HighlightedSeries(), -1);
    table->selectRow(1); // wheat
    EXPECT_EQ(form->HighlightedSeries(), 1);
    const auto pen = [&](int i) { return static_cast<QLineSeries*>(chart->series()[i])->pen(); };
    EXPECT_GT(pen(1).widthF(), pen(0).widthF());
    EXPECT_LT(pen(0).color().alpha(), 255);
    EXPECT_EQ(pen(1).color().alpha(), 255);
    table->selectRow(3); // the total row belongs to no series
    EXPECT_EQ(form->HighlightedSeries(), -1);
    EXPECT_EQ(pen(0).color().alpha(), 255);

    // By terminal, a terminal's row lights the series of its line.
    form->SetGrouping(TGrouping::Terminal);
    form->SetPeriodKind(TPeriodKind::Today);
    ASSERT_TRUE(Settled(*form));
    ASSERT_EQ(table->rowCount(), 4);
    table->selectRow(2); // line 4, terminal 30
    ASSERT_GE(form->HighlightedSeries(), 0);
    EXPECT_EQ(chart->series()[form->HighlightedSeries()]->name(), QStringLiteral("Линия 4"));
}

TEST_F(ReportWindow, AShownShiftKeepsUpWithNewBookingsAndKeepsTheSelection)
{
    auto form = MakeForm("2026-03-29 05:00:00", ledger_, 50);
    form->SetGrouping(TGrouping::Product);
    form->ShowReport();
    ASSERT_TRUE(Settled(*form));
    auto* table = form->findChild<QTableWidget*>(QStringLiteral("ReportGrid"));
    table->selectRow(1); // wheat
    EXPECT_EQ(Cell(*form, 3, 1), QStringLiteral("50.25"));
    {
        TLedgerRows more(ledger_.toStdString());
        ASSERT_TRUE(more.Add(Change(Berlin("2026-03-29 04:00:00"), 1, 5, "Пшеница", 0.5)));
        ASSERT_TRUE(more.Commit());
    }
    ASSERT_TRUE(
        test::WaitUntil([&] { return Cell(*form, 3, 1) == QStringLiteral("50.75"); }, 10000));
    EXPECT_EQ(Cell(*form, 1, 1), QStringLiteral("10.5"));
    ASSERT_TRUE(Settled(*form));
    EXPECT_EQ(table->selectionModel()->selectedRows().value(0).row(), 1);
    EXPECT_EQ(form->HighlightedSeries(), 1);
}

TEST_F(ReportWindow, TheChartIsDrawn)
{
    auto form = MakeForm("2026-03-29 12:00:00", ledger_);
    form->SetRange(QDateTime::fromMSecsSinceEpoch(Berlin("2026-03-25 00:00:00"), kBerlin),
                   QDateTime::fromMSecsSinceEpoch(Berlin("2026-04-01 00:00:00"), kBerlin));
    form->show();
    ASSERT_TRUE(Settled(*form));
    auto* view = form->findChild<QChartView*>(QStringLiteral("ReportChart"));
    EXPECT_EQ(view->chart()->title(), QStringLiteral("Учтённый вес по суткам, кг"));
    ASSERT_EQ(view->chart()->series().size(), 4);
    const QImage image = view->grab().toImage();
    const QColor first = static_cast<QLineSeries*>(view->chart()->series()[0])->color();
    int seriesPixels = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == first)
                ++seriesPixels;
    EXPECT_GT(seriesPixels, 20); // a line and its legend mark
}

TEST_F(ReportWindow, ExportsTheShownPeriod)
{
    auto form = MakeForm("2026-03-29 05:00:00", ledger_);
    form->ShowReport();
    ASSERT_TRUE(Settled(*form));
    QString suggested;
    const QString target = dir_.filePath(QStringLiteral("night.csv"));
    form->AskExportPath = [&](const QString& name) {
        suggested = name;
        return target;
    };
    std::vector<TExportResult> done;
    QObject::connect(form.get(), &TReportForm::ExportDone,
                     [&](const TExportResult& result) { done.push_back(result); });
    form->ExportCsv();
    ASSERT_TRUE(Settled(*form));
    ASSERT_EQ(done.size(), 1);
    const TExportResult& result = done[0];
    EXPECT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(result.rows, 6);
    EXPECT_EQ(suggested, QStringLiteral("karvel_2026-03-28_2000_2026-03-29_0800.csv"));
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count("\r\n"), 7);
    EXPECT_TRUE(form->StatusText().contains(QStringLiteral("Записано строк: 6")));

    // Cancelling the dialog exports nothing.
    form->AskExportPath = [](const QString&) { return QString(); };
    form->ExportCsv();
    EXPECT_FALSE(form->Busy());
    EXPECT_EQ(done.size(), 1);
}

TEST_F(ReportWindow, AMissingLedgerIsSaidNotShownAsZero)
{
    auto form = MakeForm("2026-03-29 05:00:00", dir_.filePath(QStringLiteral("none.db")));
    form->ShowReport();
    ASSERT_TRUE(Settled(*form));
    EXPECT_TRUE(form->StatusText().contains(QStringLiteral("ещё не создан")))
        << form->StatusText().toStdString();
    EXPECT_FALSE(form->Shown().ok);
}

TEST_F(ReportWindow, ARangeThatEndsBeforeItStartsIsRefused)
{
    auto form = MakeForm("2026-03-29 05:00:00", ledger_);
    form->SetRange(QDateTime::fromMSecsSinceEpoch(Berlin("2026-03-29 00:00:00"), kBerlin),
                   QDateTime::fromMSecsSinceEpoch(Berlin("2026-03-28 00:00:00"), kBerlin));
    EXPECT_FALSE(form->Busy());
    EXPECT_EQ(form->StatusText(), QStringLiteral("Конец периода должен быть позже его начала"));
}

TEST_F(ReportWindow, ANewerRequestWinsOverAnOlderOne)
{
    auto form = MakeForm("2026-03-29 05:00:00", ledger_);
    form->SetGrouping(TGrouping::Line);
    form->SetGrouping(TGrouping::Product);
    form->SetPeriodKind(TPeriodKind::Yesterday);
    ASSERT_TRUE(Settled(*form));
    EXPECT_EQ(form->Shown().grouping, TGrouping::Product);
    EXPECT_EQ(Cell(*form, 0, 0), QStringLiteral("Пшеница"));
    EXPECT_EQ(Cell(*form, 2, 1), QStringLiteral("385.75"));
}

} // namespace

#include "report_form.h"

#include "report_texts.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

namespace karvel {

using namespace report;

namespace {

const QStringList kValueHeadings = {
    QStringLiteral("Учтено, кг"), QStringLiteral("Взвешиваний"), QStringLiteral("Доставлено"),
    QStringLiteral("Ожидает"),    QStringLiteral("Отложено"),    QStringLiteral("Отброшено"),
};

constexpr std::array<TPeriodKind, 5> kPeriods = {TPeriodKind::ThisShift, TPeriodKind::LastShift,
                                                 TPeriodKind::Today, TPeriodKind::Yesterday,
                                                 TPeriodKind::Range};
constexpr std::array<TGrouping, 3> kGroupings = {TGrouping::Line, TGrouping::Terminal,
                                                 TGrouping::Product};

QTableWidgetItem* NumberItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

// Ticks on whole steps of buckets (1, 2, 3, 4, 6, 12, 24...), at most eight steps, so
// that the time texts fit.
int TickCount(int buckets)
{
    for (int step : {1, 2, 3, 4, 6, 12, 24, 48, 7, 14, 28, 30, 60, 90, 120})
        if (buckets % step == 0 && buckets / step <= 8)
            return buckets / step + 1;
    return 7;
}

// The series a table row belongs to: its line's, or its product's.
int SeriesOfRow(const TReportResult& result, int row)
{
    if (row < 0 || row >= static_cast<int>(result.table.rows.size()))
        return -1;
    const TReportRow& r = result.table.rows[static_cast<size_t>(row)];
    const auto& series = result.chart.series;
    for (size_t i = 0; i < series.size(); ++i) {
        const bool same = result.grouping == TGrouping::Product ? series[i].product == r.product
                                                                : series[i].line == r.line;
        if (same)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace

TReportForm::TReportForm(TReportFormOptions options, QWidget* parent)
    : QWidget(parent, Qt::Window), options_(std::move(options))
{
    setObjectName(QStringLiteral("ReportFrm"));
    setWindowTitle(kCaption);
    BuildControls();
    resize(900, 640);

    worker_ = new TReportWorker(options_.ledgerPath);
    worker_->moveToThread(&thread_);
    connect(worker_, &TReportWorker::Computed, this, &TReportForm::OnComputed);
    connect(worker_, &TReportWorker::Exported, this, &TReportForm::OnExported);
    thread_.setObjectName(QStringLiteral("report"));
    thread_.start();

    refreshTimer_ = new QTimer(this);
    refreshTimer_->setInterval(options_.refreshMs);
    connect(refreshTimer_, &QTimer::timeout, this, [this] {
        // A chosen range stays as it is; a shift or a day moves on with the clock.
        const bool range =
            periodBox_->currentData().toInt() == static_cast<int>(TPeriodKind::Range);
        if (isVisible() && !range && !pending_)
            Refresh();
    });
    if (options_.refreshMs > 0)
        refreshTimer_->start();

    AskExportPath = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Экспорт отчёта"), suggested,
                                            QStringLiteral("Файлы CSV (*.csv)"));
    };
}

TReportForm::~TReportForm()
{
    worker_->Stop();
    thread_.quit();
    thread_.wait();
    delete worker_;
}

void TReportForm::BuildControls()
{
    periodBox_ = new QComboBox(this);
    periodBox_->setObjectName(QStringLiteral("PeriodBox"));
    for (TPeriodKind kind : kPeriods)
        periodBox_->addItem(PeriodKindName(kind), static_cast<int>(kind));

    const QDateTime now = options_.clock().toTimeZone(options_.zone);
    fromEdit_ = new QDateTimeEdit(QDateTime(now.date().addDays(-7), QTime(0, 0)), this);
    toEdit_ = new QDateTimeEdit(QDateTime(now.date().addDays(1), QTime(0, 0)), this);
    for (QDateTimeEdit* edit : {fromEdit_, toEdit_}) {
        edit->setDisplayFormat(QStringLiteral("dd.MM.yyyy HH:mm"));
        edit->setCalendarPopup(true);
        edit->setEnabled(false);
    }
    fromEdit_->setObjectName(QStringLiteral("FromEdit"));
    toEdit_->setObjectName(QStringLiteral("ToEdit"));

    groupingBox_ = new QComboBox(this);
    groupingBox_->setObjectName(QStringLiteral("GroupingBox"));
    for (TGrouping grouping : kGroupings)
        groupingBox_->addItem(GroupingName(grouping), static_cast<int>(grouping));

    refreshBtn_ = new QPushButton(QStringLiteral("Обновить"), this);
    refreshBtn_->setObjectName(QStringLiteral("RefreshBtn"));
    exportBtn_ = new QPushButton(QStringLiteral("Экспорт CSV..."), this);
    exportBtn_->setObjectName(QStringLiteral("ExportBtn"));

    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(QStringLiteral("Период:"), this));
    controls->addWidget(periodBox_);
    controls->addWidget(new QLabel(QStringLiteral("с"), this));
    controls->addWidget(fromEdit_);
    controls->addWidget(new QLabel(QStringLiteral("по"), this));
    controls->addWidget(toEdit_);
    controls->addSpacing(12);
    controls->addWidget(groupingBox_);
    controls->addStretch(1);
    controls->addWidget(refreshBtn_);
    controls->addWidget(exportBtn_);

    table_ = new QTableWidget(0, 1 + static_cast<int>(kValueHeadings.size()), this);
    table_->setObjectName(QStringLiteral("ReportGrid"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);

    chart_ = new QChart;
    chart_->legend()->setAlignment(Qt::AlignRight);
    timeAxis_ = new QDateTimeAxis;
    weightAxis_ = new QValueAxis;
    weightAxis_->setLabelFormat(QStringLiteral("%.0f"));
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    chart_->addAxis(weightAxis_, Qt::AlignLeft);
    chartView_ = new QChartView(chart_, this);
    chartView_->setObjectName(QStringLiteral("ReportChart"));
    chartView_->setRenderHint(QPainter::Antialiasing);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(table_);
    splitter->addWidget(chartView_);
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 3);
    splitter->setSizes({200, 300}); // the chart gets the larger part from the start
    chartView_->setMinimumHeight(220);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("StatusText"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(splitter, 1);
    layout->addWidget(status_);

    connect(periodBox_, &QComboBox::currentIndexChanged, this, [this] {
        const bool range =
            periodBox_->currentData().toInt() == static_cast<int>(TPeriodKind::Range);
        fromEdit_->setEnabled(range);
        toEdit_->setEnabled(range);
        Refresh();
    });
    connect(groupingBox_, &QComboBox::currentIndexChanged, this, &TReportForm::Refresh);
    connect(fromEdit_, &QDateTimeEdit::editingFinished, this, &TReportForm::Refresh);
    connect(toEdit_, &QDateTimeEdit::editingFinished, this, &TReportForm::Refresh);
    connect(refreshBtn_, &QPushButton::clicked, this, &TReportForm::Refresh);
    connect(exportBtn_, &QPushButton::clicked, this, [this] { ExportCsv(); });
    connect(table_, &QTableWidget::itemSelectionChanged, this, &TReportForm::HighlightSelectedRow);
}

void TReportForm::ShowReport()
{
    show();
    raise();
    activateWindow();
    Refresh();
}

void TReportForm::SetPeriodKind(TPeriodKind kind)
{
    periodBox_->setCurrentIndex(periodBox_->findData(static_cast<int>(kind)));
}

void TReportForm::SetRange(const QDateTime& from, const QDateTime& to)
{
    fromEdit_->setDateTime(from.toTimeZone(options_.zone));
    toEdit_->setDateTime(to.toTimeZone(options_.zone));
    if (periodBox_->currentData().toInt() == static_cast<int>(TPeriodKind::Range))
        Refresh();
    else
        SetPeriodKind(TPeriodKind::Range);
}

void TReportForm::SetGrouping(TGrouping grouping)
{
    groupingBox_->setCurrentIndex(groupingBox_->findData(static_cast<int>(grouping)));
}

TReportPeriod TReportForm::ChosenPeriod(QString& note) const
{
    const auto kind = static_cast<TPeriodKind>(periodBox_->currentData().toInt());
    if (kind == TPeriodKind::Range) {
        // The edits show the zone's local time without a zone of their own.
        const QDateTime from(fromEdit_->date(), fromEdit_->time(), options_.zone);
        const QDateTime to(toEdit_->date(), toEdit_->time(), options_.zone);
        return {from.toMSecsSinceEpoch(), to.toMSecsSinceEpoch()};
    }
    const TShiftTimes shifts = ReadShiftTimes(options_.storePath);
    note = shifts.error;
    return PeriodFor(kind, options_.clock(), shifts.starts, options_.zone);
}

void TReportForm::Refresh()
{
    TReportRequest request;
    request.id = ++requestId_;
    request.period = ChosenPeriod(periodNote_);
    request.grouping = static_cast<TGrouping>(groupingBox_->currentData().toInt());
    request.sink = options_.sink;
    request.zone = options_.zone;
    if (request.period.toMs <= request.period.fromMs) {
        SetStatus(QStringLiteral("Конец периода должен быть позже его начала"));
        return;
    }
    pending_ = true;
    worker_->Supersede(request.id);
    QMetaObject::invokeMethod(worker_, "Compute", Qt::QueuedConnection,
                              Q_ARG(karvel::report::TReportRequest, request));
    SetStatus(
        QStringLiteral("Расчёт отчёта за %1...").arg(PeriodText(request.period, options_.zone)));
}

void TReportForm::OnComputed(const TReportResult& result)
{
    if (result.id != requestId_)
        return; // an older request finished after a newer one was made
    pending_ = false;
    if (!result.ok) {
        shown_ = TReportResult {};
        shown_.period = result.period;
        FillTable();
        FillChart();
        SetStatus(result.error);
        emit ReportShown();
        return;
    }
    shown_ = result;
    FillTable();
    FillChart();
    QString text = QStringLiteral("%1; записей: %2; рассчитано за %3 мс")
                       .arg(PeriodText(result.period, options_.zone))
                       .arg(result.table.total.bookings)
                       .arg(result.elapsedMs);
    if (!periodNote_.isEmpty())
        text += QStringLiteral("; ") + periodNote_;
    SetStatus(text);
    emit ReportShown();
}

void TReportForm::FillTable()
{
    const TReportTable& table = shown_.table;
    // The selected row stays selected when the same report is computed again.
    const auto selected = table_->selectionModel()->selectedRows();
    const QString selectedName = selected.isEmpty() || !table_->item(selected.first().row(), 0)
        ? QString()
        : table_->item(selected.first().row(), 0)->text();
    table_->clearSelection();
    table_->clearContents();
    QStringList headings {GroupingHeading(shown_.grouping)};
    headings << kValueHeadings;
    table_->setHorizontalHeaderLabels(headings);
    const int rows = static_cast<int>(table.rows.size());
    table_->setRowCount(rows + 1);
    auto put = [this](int at, const QString& name, const TReportRow& row) {
        table_->setItem(at, 0, new QTableWidgetItem(name));
        table_->setItem(at, 1, NumberItem(WeightText(row.weight)));
        table_->setItem(at, 2, NumberItem(QString::number(row.bookings)));
        // Columns in the order delivered, waiting, set aside, discarded.
        const std::array<int, 4> stateOrder = {1, 0, 2, 3};
        for (size_t i = 0; i < stateOrder.size(); ++i)
            table_->setItem(
                at, 3 + static_cast<int>(i),
                NumberItem(QString::number(row.states[static_cast<size_t>(stateOrder[i])])));
    };
    for (int i = 0; i < rows; ++i)
        put(i, RowName(table.rows[static_cast<size_t>(i)], shown_.grouping),
            table.rows[static_cast<size_t>(i)]);
    put(rows, QStringLiteral("Итого"), table.total);
    for (int column = 0; column < table_->columnCount(); ++column) {
        QFont font = table_->item(rows, column)->font();
        font.setBold(true);
        table_->item(rows, column)->setFont(font);
    }
    if (!selectedName.isEmpty()) {
        for (int i = 0; i < rows; ++i)
            if (table_->item(i, 0)->text() == selectedName)
                table_->selectRow(i);
    }
    table_->resizeColumnsToContents();
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
}

void TReportForm::FillChart()
{
    highlighted_ = -1;
    const TChartData& data = shown_.chart;
    const bool daily = data.bucketSize == TBucketSize::Day;
    chart_->setTitle(daily ? QStringLiteral("Учтённый вес по суткам, кг")
                           : QStringLiteral("Учтённый вес по часам, кг"));
    const bool withinADay =
        data.edges.size() < 2 || data.edges.back() - data.edges.front() <= 25LL * 3600 * 1000;
    timeAxis_->setFormat(daily            ? QStringLiteral("dd.MM")
                             : withinADay ? QStringLiteral("HH:mm")
                                          : QStringLiteral("dd.MM HH:mm"));
    if (data.edges.size() >= 2) {
        timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(data.edges.front(), options_.zone),
                            QDateTime::fromMSecsSinceEpoch(data.edges.back(), options_.zone));
        timeAxis_->setTickCount(TickCount(static_cast<int>(data.edges.size()) - 1));
    }
    double top = 0;
    for (const TChartSeries& figures : data.series)
        for (double weight : figures.weights)
            top = std::max(top, weight);
    weightAxis_->setRange(0, top > 0 ? top * 1.1 : 1);
    weightAxis_->applyNiceNumbers();

    // The series of the last report are used again: adding a series to a chart costs far
    // more than giving it new points, and a report shown again has the same series.
    QList<QAbstractSeries*> existing = chart_->series();
    while (existing.size() > static_cast<qsizetype>(data.series.size())) {
        QAbstractSeries* extra = existing.takeLast();
        chart_->removeSeries(extra);
        delete extra;
    }
    for (size_t s = 0; s < data.series.size(); ++s) {
        const TChartSeries& figures = data.series[s];
        QList<QPointF> points;
        points.reserve(static_cast<qsizetype>(figures.weights.size()));
        for (size_t i = 0; i < figures.weights.size(); ++i) {
            // Each hour's (or day's) weight stands in the middle of its hour.
            const double middle = static_cast<double>(data.edges[i] + data.edges[i + 1]) / 2;
            points.append(QPointF(middle, figures.weights[i]));
        }
        QLineSeries* series = nullptr;
        if (s < static_cast<size_t>(existing.size())) {
            series = static_cast<QLineSeries*>(existing[static_cast<qsizetype>(s)]);
        } else {
            series = new QLineSeries;
            chart_->addSeries(series);
            series->attachAxis(timeAxis_);
            series->attachAxis(weightAxis_);
        }
        series->setName(SeriesName(figures));
        series->replace(points);
    }
    HighlightSelectedRow();
}

void TReportForm::HighlightSelectedRow()
{
    const QList<QAbstractSeries*> all = chart_->series();
    const auto selected = table_->selectionModel()->selectedRows();
    highlighted_ = selected.isEmpty() ? -1 : SeriesOfRow(shown_, selected.first().row());
    for (int i = 0; i < all.size(); ++i) {
        auto* series = static_cast<QLineSeries*>(all[i]);
        QPen pen = series->pen();
        QColor color = series->color();
        const bool chosen = i == highlighted_;
        pen.setWidthF(chosen ? 4.0 : 1.5);
        color.setAlpha(highlighted_ < 0 || chosen ? 255 : 70);
        pen.setColor(color);
        series->setPen(pen);
    }
}

void TReportForm::ExportCsv(const QString& path)
{
    if (exporting_)
        return;
    QString note;
    const TReportPeriod period =
        shown_.period.toMs > shown_.period.fromMs ? shown_.period : ChosenPeriod(note);
    QString target = path;
    if (target.isEmpty()) {
        const auto day = [this](int64_t ms) {
            return QDateTime::fromMSecsSinceEpoch(ms, options_.zone)
                .toString(QStringLiteral("yyyy-MM-dd_HHmm"));
        };
        target = AskExportPath(
            QStringLiteral("karvel_%1_%2.csv").arg(day(period.fromMs), day(period.toMs)));
        if (target.isEmpty())
            return;
    }
    exporting_ = true;
    exportBtn_->setEnabled(false);
    QMetaObject::invokeMethod(worker_, "Export", Qt::QueuedConnection,
                              Q_ARG(karvel::report::TReportPeriod, period), Q_ARG(QString, target));
    SetStatus(QStringLiteral("Экспорт в %1...").arg(target));
}

void TReportForm::OnExported(const TExportResult& result)
{
    exporting_ = false;
    exportBtn_->setEnabled(true);
    if (result.ok)
        SetStatus(QStringLiteral("Записано строк: %1 в %2").arg(result.rows).arg(result.path));
    else
        SetStatus(QStringLiteral("Экспорт не удался: %1").arg(result.error));
    emit ExportDone(result);
}

void TReportForm::SetStatus(const QString& text)
{
    status_->setText(text);
}

QString TReportForm::StatusText() const
{
    return status_->text();
}

} // namespace karvel

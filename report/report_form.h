#pragma once
// The report window "Отчёт": the booked weight, the number of bookings and the delivery
// states per line, terminal or product for a shift, a day or a chosen range, a total row,
// a chart of the weight per hour (per day beyond three days) and an export to CSV. The
// ledger is read on a thread of the window's own; the window only shows the results.

#include "report_worker.h"

#include <QDateTime>
#include <QThread>
#include <QTimeZone>
#include <QWidget>

#include <functional>

class QChart;
class QChartView;
class QDateTimeAxis;
class QValueAxis;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;

namespace karvel {

struct TReportFormOptions {
    QString ledgerPath;
    QString storePath; // the shift boundaries are read from it at each report
    std::string sink = "dbus"; // whose delivery states are counted
    QTimeZone zone = QTimeZone::systemTimeZone();
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };
    // A shown report of a shift or day is computed again this often, so that it keeps up
    // with the bookings; 0: only on request.
    int refreshMs = 60'000;
};

class TReportForm : public QWidget {
    Q_OBJECT
public:
    static inline const QString kCaption = QStringLiteral("Отчёт");

    explicit TReportForm(TReportFormOptions options, QWidget* parent = nullptr);
    ~TReportForm() override;

    // Shows the window and computes the chosen report anew.
    void ShowReport();
    // Computes the report of the chosen period and grouping; the result arrives later.
    void Refresh();
    void SetPeriodKind(report::TPeriodKind kind);
    void SetRange(const QDateTime& from, const QDateTime& to);
    void SetGrouping(report::TGrouping grouping);
    // Exports the shown period into `path` (the save dialog asks when empty).
    void ExportCsv(const QString& path = {});

    // For the tests and the screenshot: the last result shown, and whether work runs.
    const report::TReportResult& Shown() const { return shown_; }
    bool Busy() const { return pending_ || exporting_; }
    QString StatusText() const;
    int HighlightedSeries() const { return highlighted_; }

    // Asks for the file of an export; a save dialog unless replaced.
    std::function<QString(const QString& suggested)> AskExportPath;

signals:
    void ReportShown();
    void ExportDone(const karvel::report::TExportResult& result);

private:
    void BuildControls();
    report::TReportPeriod ChosenPeriod(QString& note) const;
    void OnComputed(const report::TReportResult& result);
    void OnExported(const report::TExportResult& result);
    void FillTable();
    void FillChart();
    void HighlightSelectedRow();
    void SetStatus(const QString& text);

    TReportFormOptions options_;
    QThread thread_;
    report::TReportWorker* worker_ = nullptr;
    int requestId_ = 0;
    bool pending_ = false;
    bool exporting_ = false;
    QString periodNote_;
    report::TReportResult shown_;
    int highlighted_ = -1;

    QComboBox* periodBox_ = nullptr;
    QDateTimeEdit* fromEdit_ = nullptr;
    QDateTimeEdit* toEdit_ = nullptr;
    QComboBox* groupingBox_ = nullptr;
    QPushButton* refreshBtn_ = nullptr;
    QPushButton* exportBtn_ = nullptr;
    QTableWidget* table_ = nullptr;
    QChart* chart_ = nullptr;
    QDateTimeAxis* timeAxis_ = nullptr;
    QValueAxis* weightAxis_ = nullptr;
    QChartView* chartView_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer* refreshTimer_ = nullptr;
};

} // namespace karvel

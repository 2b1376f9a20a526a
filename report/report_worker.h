#pragma once
// Computes reports and exports on a thread of its own, with its own read-only connection
// to the ledger, so that the window never waits for the database. Results come back as
// signals, which a window on another thread receives queued.

#include "csv_export.h"
#include "report_chart.h"
#include "report_query.h"

#include <QObject>
#include <QString>
#include <QTimeZone>

#include <atomic>
#include <mutex>
#include <string>

namespace karvel::report {

struct TReportRequest {
    int id = 0;
    TReportPeriod period;
    TGrouping grouping = TGrouping::Line;
    std::string sink;
    QTimeZone zone;
};

struct TReportResult {
    int id = 0;
    bool ok = false;
    QString error;
    TReportPeriod period;
    TGrouping grouping = TGrouping::Line;
    TReportTable table;
    TChartData chart;
    qint64 elapsedMs = 0;
};

struct TExportResult {
    bool ok = false;
    QString path;
    QString error;
    qint64 rows = 0;
    qint64 elapsedMs = 0;
};

class TReportWorker : public QObject {
    Q_OBJECT
public:
    explicit TReportWorker(QString ledgerPath);
    ~TReportWorker() override;

    // From any thread: a newer request was made, so the one running is of no use. The
    // statement running stops at its next row.
    void Supersede(int latestId);
    // From any thread: ends a running export and any statement at once.
    void Stop();

public slots:
    void Compute(const karvel::report::TReportRequest& request);
    void Export(const karvel::report::TReportPeriod& period, const QString& path);

signals:
    void Computed(const karvel::report::TReportResult& result);
    void Exported(const karvel::report::TExportResult& result);

private:
    bool OpenLedger(QString& error);
    void Interrupt();

    std::string ledgerPath_;
    std::mutex dbMutex_; // guards db_'s handle against an interrupt from another thread
    std::unique_ptr<TSqliteDb> db_;
    std::atomic<int> latestId_ {0};
    std::atomic<bool> stop_ {false};
};

// Texts of the window for a failure of the ledger.
QString LedgerErrorText(const QString& ledgerPath, const QString& detail);

} // namespace karvel::report

Q_DECLARE_METATYPE(karvel::report::TReportRequest)
Q_DECLARE_METATYPE(karvel::report::TReportResult)
Q_DECLARE_METATYPE(karvel::report::TExportResult)
Q_DECLARE_METATYPE(karvel::report::TReportPeriod)

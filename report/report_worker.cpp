#include "report_worker.h"

#include "report_scan.h"
#include "sqlite_db.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <sqlite3.h>

namespace karvel::report {

namespace {

const bool kTypesRegistered = [] {
    qRegisterMetaType<TReportRequest>();
    qRegisterMetaType<TReportResult>();
    qRegisterMetaType<TExportResult>();
    qRegisterMetaType<TReportPeriod>();
    return true;
}();

} // namespace

QString LedgerErrorText(const QString& ledgerPath, const QString& detail)
{
    return QStringLiteral("Журнал учёта %1 не читается: %2").arg(ledgerPath, detail);
}

TReportWorker::TReportWorker(QString ledgerPath) : ledgerPath_(ledgerPath.toStdString())
{
    (void)kTypesRegistered;
}

TReportWorker::~TReportWorker() = default;

void TReportWorker::Supersede(int latestId)
{
    latestId_.store(latestId);
    Interrupt();
}

void TReportWorker::Stop()
{
    stop_.store(true);
    Interrupt();
}

void TReportWorker::Interrupt()
{
    const std::lock_guard lock(dbMutex_);
    if (db_ && db_->IsOpen())
        sqlite3_interrupt(db_->Handle());
}

bool TReportWorker::OpenLedger(QString& error)
{
    const std::lock_guard lock(dbMutex_);
    if (db_ && db_->IsOpen())
        return true;
    const QString path = QString::fromStdString(ledgerPath_);
    if (!QFileInfo::exists(path)) {
        // Opening would fail anyway; a missing ledger is the usual case before the
        // first booking, so it gets a plain text.
        error = QStringLiteral("Журнал учёта %1 ещё не создан: учтённых изменений нет").arg(path);
        return false;
    }
    db_ = std::make_unique<TSqliteDb>();
    if (!db_->Open(ledgerPath_, true)) {
        error = LedgerErrorText(path, QString::fromStdString(db_->LastError()));
        db_.reset();
        return false;
    }
    return true;
}

void TReportWorker::Compute(const TReportRequest& request)
{
    TReportResult result;
    result.id = request.id;
    result.period = request.period;
    result.grouping = request.grouping;
    if (request.id != latestId_.load() && request.id < latestId_.load())
        return; // a newer request waits behind this one
    QElapsedTimer timer;
    timer.start();
    if (!OpenLedger(result.error)) {
        emit Computed(result);
        return;
    }
    db_->Exec("BEGIN");
    auto both =
        QueryReportAndChart(*db_, request.period, request.grouping, request.sink, request.zone);
    db_->Exec("COMMIT");
    if (request.id < latestId_.load())
        return; // superseded: nobody waits for it
    if (!both) {
        result.error = LedgerErrorText(QString::fromStdString(ledgerPath_),
                                       QString::fromStdString(db_->LastError()));
    } else {
        result.ok = true;
        result.table = std::move(both->table);
        result.chart = std::move(both->chart);
    }
    result.elapsedMs = timer.elapsed();
    emit Computed(result);
}

void TReportWorker::Export(const TReportPeriod& period, const QString& path)
{
    TExportResult result;
    result.path = path;
    QElapsedTimer timer;
    timer.start();
    stop_.store(false);
    const TCsvResult csv = ExportCsvFile(ledgerPath_, period, path.toStdString(), &stop_);
    result.ok = csv.ok;
    result.rows = csv.rows;
    result.error = QString::fromStdString(csv.error);
    result.elapsedMs = timer.elapsed();
    emit Exported(result);
}

} // namespace karvel::report

#pragma once
// What the start-up core needs from outside: where its files are, its time-outs, and the
// clock and locale of its texts (fixed ones in tests).

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>

namespace karvel {

struct TCoreOptions {
    QString programDir; // "log.txt", "bdl.txt" and the ledger "ledger.db"
    QString storePath; // the per-user store file
    int callTimeoutMs = 3000; // longest wait for one accounting call
    int retryPeriodMs = 5000; // first pause before waiting changes are offered again
    std::chrono::milliseconds freeTerminalsWait {150}; // lets the stopped ports settle
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };
    QLocale locale = QLocale::system();
};

// From the command line: --program-dir DIR, --account-timeout MS, --account-retry MS.
TCoreOptions CoreOptionsFromArguments(const QStringList& arguments);

// --export-csv FROM TO FILE: the ledger's changes from FROM to TO (ISO dates, each a whole
// local day, or ISO date-times) into FILE ("-" for standard output), with no window.
struct TExportCsvArguments {
    QString from;
    QString to;
    QString file;
};
inline const QString kExportCsvOption = QStringLiteral("--export-csv");
bool HasExportCsv(const QStringList& arguments);
// False, with the reason in `error`, when the option lacks one of its three values.
bool ExportCsvArgumentsFrom(const QStringList& arguments, TExportCsvArguments& out, QString& error);

} // namespace karvel

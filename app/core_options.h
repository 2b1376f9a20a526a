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

} // namespace karvel

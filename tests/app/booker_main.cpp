// A main program without windows or lines, for the crash tests: it starts the core on the
// store of XDG_CONFIG_HOME and the given program directory, books changes of terminal 5
// on line 1 and is then killed by the test (or kills itself).
//
//   karvel_test_booker --program-dir DIR --count N --die-after-write
//       writes the N changes to the ledger and dies (SIGKILL) before any call goes out;
//   karvel_test_booker --program-dir DIR --count N
//       books them through the core and runs until it is killed.

#include "change_book.h"
#include "main_core.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

using namespace karvel;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const auto value = [&](const QString& name) {
        const qsizetype at = args.indexOf(name);
        return at >= 0 && at + 1 < args.size() ? args[at + 1] : QString();
    };
    TCoreOptions options;
    options.programDir = value(QStringLiteral("--program-dir"));
    options.freeTerminalsWait = std::chrono::milliseconds(0);
    options.callTimeoutMs = 20000; // the test kills it long before
    const int count = value(QStringLiteral("--count")).toInt();

    if (args.contains(QStringLiteral("--die-after-write"))) {
        TMainCore core(options);
        const QStringList messages = core.FormCreate();
        // Only the ledger: the sink is never woken, so no call can go out.
        TChangeBook book(options.programDir, core.StationId(), {ledger::kSinkDbus});
        core.FormDestroy();
        if (!book.Open()) {
            std::fprintf(stderr, "booker: %s\n", qPrintable(book.LastError()));
            return 1;
        }
        for (int i = 1; i <= count; ++i) {
            TLedgerChange change;
            change.line = 1;
            change.netNum = 5;
            change.product = "Рожь";
            change.countC = 100 + i;
            change.countD = i;
            if (!book.Book(change))
                return 1;
        }
        std::raise(SIGKILL);
    }

    TMainCore core(options);
    for (const QString& text : core.FormCreate())
        std::fprintf(stderr, "booker: %s\n", qPrintable(text));
    for (int i = 1; i <= count; ++i)
        core.AddCountLine(1, "Рожь", 5, i, 100 + i, "d", "c");
    std::fprintf(stdout, "booked\n");
    std::fflush(stdout);
    return app.exec();
}

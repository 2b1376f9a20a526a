// Opens the report window over the ledger bench_report fills (run that first) and prints
// the longest time its thread went without serving its event loop while a month's and a
// year's report by product were computed and drawn: a 2 ms timer on the window thread
// notes each gap between its ticks.
//   QT_QPA_PLATFORM=offscreen bench_report_window [--ledger FILE]

#include "report_form.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace karvel;
using namespace karvel::report;

namespace {

const QTimeZone kZone("Europe/Berlin");

struct TFigures {
    qint64 wallMs = 0;
    qint64 longestGapMs = 0;
    qint64 workerMs = 0;
    qint64 gapEndMs = 0; // when the longest gap ended, from the start
};

TFigures Measure(TReportForm& form, const QDateTime& from, const QDateTime& to)
{
    QElapsedTimer wall;
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer ticker;
    ticker.setInterval(2);
    qint64 gapEnd = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 gap = sinceTick.restart();
        if (gap > longest) {
            longest = gap;
            gapEnd = wall.elapsed();
        }
    });
    wall.start();
    sinceTick.start();
    ticker.start();
    form.SetRange(from, to);
    while (form.Busy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    // The drawing of the new chart comes with the next paint.
    QCoreApplication::processEvents();
    longest = std::max(longest, sinceTick.elapsed());
    ticker.stop();
    return {wall.elapsed(), longest, form.Shown().elapsedMs, gapEnd};
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QString ledger = QStringLiteral("/tmp/karvel-bench-ledger.db");
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--ledger") == 0)
            ledger = QString::fromLocal8Bit(argv[i + 1]);
    TReportFormOptions options;
    options.ledgerPath = ledger;
    options.zone = kZone;
    TReportForm form(options);
    form.resize(980, 700);
    form.SetGrouping(TGrouping::Product);
    form.show();
    const auto at = [](int y, int m, int d) {
        return QDateTime(QDate(y, m, d), QTime(0, 0), kZone);
    };
    struct TCase {
        const char* name;
        QDateTime from;
        QDateTime to;
    };
    const TCase cases[] = {{"month (June)", at(2025, 6, 1), at(2025, 7, 1)},
                           {"year", at(2025, 1, 1), at(2026, 1, 1)},
                           {"day (hourly chart)", at(2025, 6, 2), at(2025, 6, 3)}};
    for (const TCase& c : cases) {
        const TFigures f = Measure(form, c.from, c.to);
        if (!form.Shown().ok) {
            std::fprintf(stderr, "bench_report_window: %s\n", qPrintable(form.StatusText()));
            return 1;
        }
        QElapsedTimer paint;
        paint.start();
        form.grab();
        std::printf("%-20s report thread %6lld ms | shown after %6lld ms | window thread's"
                    " longest gap %4lld ms (ended at %lld ms) | one repaint %4lld ms\n",
                    c.name, static_cast<long long>(f.workerMs), static_cast<long long>(f.wallMs),
                    static_cast<long long>(f.longestGapMs), static_cast<long long>(f.gapEndMs),
                    static_cast<long long>(paint.elapsed()));
    }
    return 0;
}

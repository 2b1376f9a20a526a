// Draws the report window over three days of a demonstration ledger (four lines, a few
// products, bookings every few minutes) and saves a picture of it for the documentation.
//   karvel_report_shot FILE.png
#include "ledger_rows.h"
#include "report_form.h"
#include "wait.h"

#include <QApplication>
#include <QTableWidget>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>

using namespace karvel;
using namespace karvel::report;

int main(int argc, char** argv)
{
    // The chart's time axis speaks the machine's local time: make it the plant's.
    qputenv("TZ", "Europe/Moscow");
    tzset();
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fputs("usage: karvel_report_shot FILE.png\n", stderr);
        return 2;
    }
    QTemporaryDir dir;
    const QString ledgerPath = dir.filePath(QStringLiteral("ledger.db"));
    const QTimeZone zone("Europe/Moscow");
    const QDateTime now(QDate(2026, 12, 10), QTime(14, 0), zone);
    {
        testing::TLedgerRows ledger(ledgerPath.toStdString());
        const char* products[] = {"Пшеница", "Ячмень", "Кукуруза", "Комбикорм"};
        std::mt19937 random(7);
        std::uniform_real_distribution<double> portion(180.0, 260.0);
        std::uniform_int_distribution<int> rare(0, 199);
        const int64_t from = now.addDays(-3).toMSecsSinceEpoch();
        for (int64_t at = from; at < now.toMSecsSinceEpoch(); at += 20'000) {
            // Busier by day than by night; line 4 stands still for a few hours.
            const double hour = QDateTime::fromMSecsSinceEpoch(at, zone).time().hour();
            const double load = 0.55 + 0.45 * std::sin((hour - 6) / 24.0 * 2 * M_PI);
            if (std::uniform_real_distribution<double>(0, 1)(random) > load)
                continue;
            testing::TRow row;
            row.bookedAtMs = at;
            row.utcOffsetS = 3 * 3600;
            row.line = 1 + static_cast<int>(at / 20'000 % 4);
            if (row.line == 4 && hour >= 9 && hour < 13)
                continue;
            row.netNum = 1 + static_cast<int>(at / 80'000 % 6);
            row.product = products[(row.line + row.netNum) % 4];
            row.countD = std::round(portion(random) * 10) / 10;
            row.countC = 100000 + row.countD;
            const int r = rare(random);
            row.state = r == 0 ? 2 : (at > now.toMSecsSinceEpoch() - 600'000 ? 0 : 1);
            ledger.Add(row);
        }
        ledger.Commit();
    }
    TReportFormOptions options;
    options.ledgerPath = ledgerPath;
    options.storePath = dir.filePath(QStringLiteral("Karvel_net.reg"));
    options.zone = zone;
    options.clock = [now] { return now; };
    TReportForm form(options);
    form.resize(980, 700);
    form.SetGrouping(TGrouping::Product);
    form.show();
    form.SetRange(now.addDays(-3), now);
    test::WaitUntil([&] { return !form.Busy(); }, 30000);
    form.findChild<QTableWidget*>(QStringLiteral("ReportGrid"))->selectRow(0);
    test::RunFor(300);
    if (!form.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "karvel_report_shot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}

// Karvel_Net's windows with four lines of thirty terminals polled at full speed: prints how
// late a 10 ms timer of the main thread fires (median and 99th percentile) and the
// process's peak memory.
#include "line_window.h"
#include "main_window.h"
#include "sim_process.h"
#include "wait.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using namespace karvel;

constexpr int kLines = 4;
constexpr int kTerminals = 30;

QString Store()
{
    QStringList out {"Windows Registry Editor Version 5.00",
                     "",
                     "[HKEY_CURRENT_USER\\Software\\Vistam\\Karvel_net\\Control]",
                     "\"Name\"=\"\"",
                     "\"Password\"=\"\"",
                     ""};
    for (int n = 1; n <= kLines; ++n) {
        out << QString("[HKEY_CURRENT_USER\\Software\\Vistam\\Karvel_net\\Line%1]").arg(n)
            << "\"TerminalType\"=dword:00000000";
        for (int i = 1; i <= 30; ++i)
            out << QString("\"NetNum%1\"=dword:%2").arg(i).arg(i, 8, 16, QChar('0'))
                << QString("\"NameP%1\"=\"Продукт %2-%1\"").arg(i).arg(n);
        out << "";
    }
    out << "[HKEY_CURRENT_USER\\Software\\Vistam\\Karvel_net\\PortParam]";
    for (int n = 1; n <= kLines; ++n)
        out << QString("\"PortL%1\"=dword:%2").arg(n).arg(n - 1, 8, 10, QChar('0'))
            << QString("\"SpeedL%1\"=dword:00000001").arg(n);
    out << "\"SoundStop\"=dword:00000000"
        << "\"LogWr\"=dword:00000000"
        << "\"SoundMode\"=dword:00000001"
        << "\"SoundFileName\"=\"\""
        << "";
    return out.join("\r\n");
}

long PeakMemoryKb()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(p * static_cast<double>(values.size() - 1))];
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    QDir().mkpath(home.path() + "/Vistam/dosdevices");
    QDir().mkpath(home.path() + "/program");
    {
        QFile store(home.path() + "/Vistam/Karvel_net.reg");
        store.open(QIODevice::WriteOnly);
        store.write(Store().toUtf8());
    }
    std::vector<std::unique_ptr<test::SimProcess>> sims;
    QStringList nets;
    for (int i = 1; i <= kTerminals; ++i)
        nets << QString::number(i);
    for (int n = 1; n <= kLines; ++n) {
        const QString work = home.path() + QString("/sim%1").arg(n);
        QDir().mkpath(work);
        auto sim = std::make_unique<test::SimProcess>();
        if (!sim->Start(home.path() + QString("/Vistam/dosdevices/com%1").arg(n), work,
                        {"--model", "KR200", "--terminals", nets.join(','), "--no-pace",
                         "--delay-ms", "0", "--cycle-ms", "2000"})) {
            std::printf("could not start the simulator\n");
            return 1;
        }
        sims.push_back(std::move(sim));
    }
    // The one message box of this set-up (no accounting server named) is answered at once.
    QTimer boxCloser;
    QObject::connect(&boxCloser, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->accept();
    });
    boxCloser.start(20);

    TCoreOptions options;
    options.programDir = home.path() + "/program";
    options.storePath = home.path() + "/Vistam/Karvel_net.reg";
    auto window = std::make_unique<TForm1>(options);
    window->show();
    window->CreateWindows();
    for (int n = 2; n <= kLines; ++n)
        window->Line(n).hide(); // one line window visible
    test::RunFor(1000);

    std::vector<double> lateness;
    QElapsedTimer clock;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(10);
    qint64 last = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        lateness.push_back(std::max(0.0, (now - last) / 1e6 - 10.0));
        last = now;
    });
    clock.start();
    tick.start();
    test::RunFor(seconds * 1000);
    tick.stop();

    uint64_t exchanges = 0;
    for (int n = 1; n <= kLines; ++n)
        exchanges += window->Line(n).Poller().Exchanges();
    std::printf("windows: %d lines of %d terminals at full speed, line 1 visible, %d s\n", kLines,
                kTerminals, seconds);
    std::printf("  %.0f exchanges/s over all lines\n", exchanges / (seconds + 1.0));
    std::printf(
        "  main thread timer lateness: median %.2f ms, 99th percentile %.2f ms (goal < 20 ms)\n",
        Percentile(lateness, 0.5), Percentile(lateness, 0.99));
    std::printf("  peak memory %.1f MB (goal < 80 MB)\n", PeakMemoryKb() / 1024.0);
    window.reset();
    return 0;
}

// Polls one to four lines of simulated terminals paced at the line's speed and prints, per
// line, the exchanges per second against the wire limit for the same frames, and the
// polling process's CPU time per exchange.
#include "line_fixture.h"
#include "sim_process.h"
#include "wait.h"

#include "com_vistam.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <vector>

namespace {

using namespace karvel;

double ProcessCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
        (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int FrameLength(std::vector<uint8_t> data)
{
    uint8_t out[64];
    return BuildVistamFrame(data.data(), static_cast<int>(data.size()), out, sizeof out);
}

// Bytes on the wire for one exchange, averaged over the terminal's ten-request cycle.
double WireBytesPerExchange()
{
    const uint8_t n = 5;
    int bytes = 0;
    for (uint8_t code : {0xC3, 0xC4, 0xC5, 0xBF})
        bytes += FrameLength({n, code});
    bytes += 6 * FrameLength({n, 0xC8, 1});
    bytes += FrameLength({n, 0xC3, 0x45, 0x23, 0x01, 0x02}); // weight
    bytes += 2 * FrameLength({n, 0xC4, 0x00, 0x00}); // inputs, outputs
    bytes += FrameLength({n, 0xBF, 0x04}); // state
    bytes += 6 * FrameLength({n, 0xC8, 1, 0x89, 0x67, 0x45, 0x23, 0x01});
    return bytes / 10.0;
}

struct Line {
    TLineList list;
    test::FixedSettings settings;
    test::RecordingView view;
    std::unique_ptr<TLinePoller> poller;
    std::unique_ptr<test::SimProcess> sim;
};

void Run(int lineCount, int baud, int terminals, int seconds)
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    QDir().mkpath(home.path() + "/Vistam/dosdevices");
    std::vector<std::unique_ptr<Line>> lines;
    for (int l = 1; l <= lineCount; ++l) {
        auto line = std::make_unique<Line>();
        QStringList options {"--baud", QString::number(baud), "--delay-ms",
                             "0",      "--cycle-ms",          "3000"};
        for (int t = 1; t <= terminals; ++t) {
            options << "--terminal" << QString("%1:KR200:P%1").arg(t);
            line->list.push_back(
                std::make_unique<TMain_Karvel>(static_cast<uint8_t>(t), "P", true));
            line->list.back()->ExternNum = static_cast<uint16_t>(t - 1);
        }
        line->sim = std::make_unique<test::SimProcess>();
        const QString link = home.path() + QString("/Vistam/dosdevices/com%1").arg(l);
        const QString work = home.path() + QString("/line%1").arg(l);
        QDir().mkpath(work);
        if (!line->sim->Start(link, work, options)) {
            std::printf("could not start the simulator\n");
            return;
        }
        line->settings.port = {true, l - 1, baud == 9600 ? 0 : 1, {}};
        line->poller =
            std::make_unique<TLinePoller>(LineTraits(l), line->list, line->settings, line->view);
        lines.push_back(std::move(line));
    }
    for (auto& line : lines)
        line->poller->Init();
    test::RunFor(500); // let every line settle into its rhythm
    std::vector<uint64_t> start;
    for (auto& line : lines)
        start.push_back(line->poller->Exchanges());
    const double cpu0 = ProcessCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    test::RunFor(seconds * 1000);
    const double elapsed = clock.elapsed() / 1000.0;
    const double cpu = ProcessCpuSeconds() - cpu0;

    const double wireLimit = baud / 10.0 / WireBytesPerExchange();
    uint64_t total = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const uint64_t n = lines[i]->poller->Exchanges() - start[i];
        total += n;
        const double rate = n / elapsed;
        std::printf("  %d bit/s, %d line(s), line %zu: %7.1f exchanges/s, wire limit %6.1f, ratio "
                    "%5.1f %%\n",
                    baud, lineCount, i + 1, rate, wireLimit, 100.0 * rate / wireLimit);
    }
    std::printf("  %d bit/s, %d line(s): CPU %.1f us per exchange, %.2f %% of one core per line\n",
                baud, lineCount, 1e6 * cpu / static_cast<double>(total),
                100.0 * cpu / elapsed / lineCount);
    for (auto& line : lines)
        line->poller->Stoping();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    const int terminals = 5;
    std::printf("polling: %d terminals per line, answers paced at the line's speed, %d s per run\n",
                terminals, seconds);
    std::printf(
        "  wire limit = speed / 10 bits / %.1f bytes per exchange (request and answer frames)\n",
        WireBytesPerExchange());
    for (int baud : {19200, 9600})
        for (int lines = 1; lines <= 4; ++lines)
            Run(lines, baud, terminals, seconds);
    return 0;
}

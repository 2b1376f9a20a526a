// bench_soak: the fault soak. Run inside a private session bus (run-soak.sh does that).
// Options: --duration S, --per-line N, --cycle-ms MS, --seed N, --kills N, --down S,
// --silence S, --work-dir DIR (kept). Exit 0 when every goal is met.
#include "soak_run.h"

#include <QCoreApplication>

#include <cstdio>

using namespace karvel::soak;

namespace {

TSoakOptions ParseOptions(const QStringList& args)
{
    TSoakOptions o;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const QString value = i + 1 < args.size() ? args[i + 1] : QString();
        auto take = [&](int& field) {
            field = value.toInt();
            ++i;
        };
        if (a == "--duration")
            take(o.durationS);
        else if (a == "--per-line")
            take(o.perLine);
        else if (a == "--cycle-ms")
            take(o.cycleMs);
        else if (a == "--seed")
            take(o.seed);
        else if (a == "--kills")
            take(o.serverKills);
        else if (a == "--down")
            take(o.serverDownS);
        else if (a == "--broker-kills")
            take(o.brokerKills);
        else if (a == "--silence")
            take(o.silenceS);
        else if (a == "--work-dir") {
            o.workDir = value;
            ++i;
        } else {
            std::fprintf(stderr, "bench_soak: unknown option %s\n", qPrintable(a));
            std::exit(2);
        }
    }
    return o;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const TSoakOptions options = ParseOptions(app.arguments());
    std::printf("soak: %d s, 4 lines x %d terminals, cycle %d ms, seed %d, server killed %d times "
                "for %d s, "
                "one terminal silent for %d s\n",
                options.durationS, options.perLine, options.cycleMs, options.seed,
                options.serverKills, options.serverDownS, options.silenceS);
    const TSoakOutcome r = RunSoak(options);
    for (const QString& m : r.messages)
        std::printf("message: %s\n", qPrintable(m));
    std::printf("settled: %s\n", r.settled ? "yes" : "NO");
    std::printf("difference: %+.2f kg\n", r.differenceKg);
    std::printf("wrong product: %d\n", r.wrong);
    std::printf("lost: %d\n", r.lost);
    std::printf("booked twice: %d\n", r.duplicated);
    if (r.mqtt)
        std::printf("mqtt (broker stopped %d times): received %d, lost %d, booked twice %d, "
                    "repeats with the same id %d\n",
                    options.brokerKills, r.mqttReceived, r.mqttLost, r.mqttTwice, r.mqttRepeats);
    std::printf(
        "most changes waiting in the ledger: %zu; failed calls reported to the status line: %d\n",
        r.mostWaiting, r.kept);
    std::printf("memory: start %lld KiB, end %lld KiB (%+lld KiB)\n",
                static_cast<long long>(r.memoryStartKiB), static_cast<long long>(r.memoryEndKiB),
                static_cast<long long>(r.memoryEndKiB - r.memoryStartKiB));
    const bool passed = r.Passed();
    std::printf("soak: %s\n", passed ? "PASSED" : "FAILED");
    return passed ? 0 : 1;
}

// bench_peer: the same number of request and answer exchanges over the same kind of pty
// pair, by this system's serial port and framing against karvel-sim and by a libmodbus
// RTU master against a libmodbus slave, unpaced and paced at the line speed.
// Usage: bench_peer [--exchanges N] [--baud 19200] [--only karvel|libmodbus] (--only: for
// profiling)
#include "peer_karvel.h"
#include "peer_modbus.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>

using namespace karvel::peer;

namespace {

void Print(const char* mode, const TRunResult& r)
{
    std::printf("%-12s %-10s %7d %6d %10.1f %12.1f %12.1f %8.1f %6d %6d\n", mode, r.name.c_str(),
                r.exchanges, r.failed, r.PerSecond(), r.CpuUsPerExchange(),
                r.SlaveCpuUsPerExchange(), r.SwitchesPerExchange(), r.requestBytes, r.answerBytes);
}

void Ratio(const char* mode, const TRunResult& k, const TRunResult& m)
{
    std::printf("%-12s karvel/libmodbus: exchanges per second x%.2f, CPU per exchange x%.2f\n",
                mode, m.PerSecond() > 0 ? k.PerSecond() / m.PerSecond() : 0.0,
                m.CpuUsPerExchange() > 0 ? k.CpuUsPerExchange() / m.CpuUsPerExchange() : 0.0);
}

} // namespace

int main(int argc, char** argv)
{
    int exchanges = 2000;
    int baud = 19200;
    std::string only;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--exchanges")
            exchanges = std::atoi(argv[i + 1]);
        else if (a == "--baud")
            baud = std::atoi(argv[i + 1]);
        else if (a == "--only")
            only = argv[i + 1];
    }
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    std::printf("%d exchanges each; paced at %d bit/s, 10 bits per byte\n", exchanges, baud);
    std::printf("%-12s %-10s %7s %6s %10s %12s %12s %8s %6s %6s\n", "mode", "side", "answers",
                "failed", "exch/s", "CPU us/exch", "slave us/ex", "csw/exch", "req B", "ans B");
    bool ok = true;
    for (const bool paced : {false, true}) {
        const char* mode = paced ? "paced" : "unpaced";
        const TRunResult m = only == "karvel" ? TRunResult {} : RunModbus(exchanges, paced, baud);
        const TRunResult k = only == "libmodbus"
            ? TRunResult {}
            : RunKarvel(work.path() + (paced ? "/paced" : "/unpaced"), exchanges, paced, baud);
        Print(mode, k);
        Print(mode, m);
        Ratio(mode, k, m);
        ok =
            ok && (only == "libmodbus" || k.exchanges > 0) && (only == "karvel" || m.exchanges > 0);
    }
    return ok ? 0 : 1;
}

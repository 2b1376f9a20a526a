// Prints the round trip of one AddCountLine call to an accounting server on the same
// session bus (median, 99th percentile, worst over 10 000 calls) and the time of a full
// reload (FreeTerminals + LoadConfig) of four lines of thirty terminals, with the part
// beyond the reload's specified 150 ms wait. Runs itself inside a private session bus
// when none is given.

#include "account_client.h"
#include "config_keys.h"
#include "config_store.h"
#include "main_core.h"
#include "recorder_process.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <unistd.h>
#include <vector>

using namespace karvel;
using Clock = std::chrono::steady_clock;

namespace {

double Percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    const size_t at =
        std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())));
    return v[at];
}

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

int BenchCalls(const QString& name, int calls)
{
    QString error;
    auto client = TAccountClient::Create(name, 3000, error);
    if (!client) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(error));
        return 1;
    }
    const QVariantList args =
        TAccountClient::CountArgs(12, QStringLiteral("Пшеница"), 123456.75, 12.5);
    for (int i = 0; i < 200; ++i)
        client->Call(QStringLiteral("AddCountLine1"), args);
    std::vector<double> times;
    times.reserve(calls);
    for (int i = 0; i < calls; ++i) {
        const auto start = Clock::now();
        if (const auto failed = client->Call(QStringLiteral("AddCountLine1"), args)) {
            std::fprintf(stderr, "bench: %s\n", qPrintable(*failed));
            return 1;
        }
        times.push_back(Ms(Clock::now() - start));
    }
    std::printf(
        "AddCountLine round trip over %d calls: median %.3f ms, p99 %.3f ms, worst %.3f ms\n",
        calls, Percentile(times, 0.5), Percentile(times, 0.99),
        *std::max_element(times.begin(), times.end()));
    return 0;
}

void WriteFullStore(const QString& progId)
{
    TConfigStore store;
    store.WriteString(kControlKey, QStringLiteral("Name"), progId);
    for (int line = 1; line <= kLines; ++line) {
        store.WriteBool(LineKey(line), QStringLiteral("TerminalType"), line % 2 == 0);
        for (int slot = 1; slot <= kSlots; ++slot) {
            store.WriteInteger(LineKey(line), QStringLiteral("NetNum%1").arg(slot), slot);
            store.WriteString(LineKey(line), QStringLiteral("NameP%1").arg(slot),
                              DefaultProductName(slot));
        }
    }
    store.Flush();
}

int BenchReload(const QString& progId, int rounds)
{
    QTemporaryDir programDir;
    WriteFullStore(progId);
    TCoreOptions options;
    options.programDir = programDir.path();
    options.storePath = TConfigStore::DefaultPath();
    TMainCore core(options);
    const QStringList messages = core.FormCreate();
    if (!messages.isEmpty() || core.LineList4().size() != kSlots) {
        std::fprintf(stderr, "bench: start-up failed: %s\n",
                     qPrintable(messages.join(QStringLiteral(" / "))));
        return 1;
    }
    std::vector<double> total, beyond;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        core.FreeTerminals();
        if (const auto error = core.LoadConfig()) {
            std::fprintf(stderr, "bench: %s\n", qPrintable(*error));
            return 1;
        }
        const double ms = Ms(Clock::now() - start);
        total.push_back(ms);
        beyond.push_back(ms - static_cast<double>(options.freeTerminalsWait.count()));
    }
    std::printf("reload of 4 lines x 30 terminals over %d rounds: median %.3f ms, worst %.3f ms; "
                "beyond the %lld ms wait: median %.3f ms, worst %.3f ms\n",
                rounds, Percentile(total, 0.5), *std::max_element(total.begin(), total.end()),
                static_cast<long long>(options.freeTerminalsWait.count()), Percentile(beyond, 0.5),
                *std::max_element(beyond.begin(), beyond.end()));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        std::vector<char*> args {const_cast<char*>("dbus-run-session"), const_cast<char*>("--")};
        args.insert(args.end(), argv, argv + argc);
        args.push_back(nullptr);
        ::execvp("dbus-run-session", args.data());
        std::perror("bench: dbus-run-session");
        return 1;
    }
    QCoreApplication app(argc, argv);
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    const QString name = QStringLiteral("KarvelT.Bench");
    test::TRecorderProcess server(name);
    if (!server.Running()) {
        std::fprintf(stderr, "bench: the recording server did not start\n");
        return 1;
    }
    const int calls = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 10000;
    if (BenchCalls(name, calls) != 0)
        return 1;
    return BenchReload(name, 20);
}

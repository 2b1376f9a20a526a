// Prints, for the accounting path:
//  - the round trip of one AddCountLine call to an accounting server on the same session
//    bus (median, 99th percentile, worst over 10 000 calls);
//  - the ledger append of one booked change (one transaction, synchronous=FULL, on the
//    disk of the current directory): median and 99th percentile (goal: p99 under 10 ms);
//  - the longest time the window thread was kept from its event loop while the server
//    hangs and changes keep being booked (goal: under 50 ms; polling steps run on the
//    same loop, so no polling pause can be longer);
//  - the catch-up rate of 10 000 waiting changes once the server returns, on the
//    extended interface (goal: 1 000 changes/s) and on the legacy one;
//  - the time of a full reload (FreeTerminals + LoadConfig) of four lines of thirty
//    terminals, with the part beyond the reload's specified 150 ms wait.
// Runs itself inside a private session bus when none is given.

#include "account_client.h"
#include "change_book.h"
#include "config_keys.h"
#include "config_store.h"
#include "main_core.h"
#include "recorder_process.h"

#include <QCoreApplication>
#include <QDBusPendingCall>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
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

bool WaitFor(const std::function<bool()>& done, int ms)
{
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (Clock::now() > until)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

int BenchCalls(const QString& name, int calls)
{
    TAccountClient client(name, 3000);
    bool opened = false;
    client.OnOpened = [&](const std::optional<QString>& error, const QString&) {
        if (error)
            std::fprintf(stderr, "bench: %s\n", qPrintable(*error));
        opened = !error;
    };
    client.Open();
    if (!WaitFor([&] { return opened; }, 10000))
        return 1;
    const QVariantList args =
        TAccountClient::CountArgs(12, QStringLiteral("Пшеница"), 123456.75, 12.5);
    const auto call = [&] {
        QDBusPendingCall pending = client.CallAsync(QStringLiteral("AddCountLine1"), args);
        pending.waitForFinished();
        return !pending.isError();
    };
    for (int i = 0; i < 200; ++i)
        call();
    std::vector<double> times;
    times.reserve(calls);
    for (int i = 0; i < calls; ++i) {
        const auto start = Clock::now();
        if (!call()) {
            std::fprintf(stderr, "bench: a call failed\n");
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

int BenchAppend(int changes)
{
    // On the disk of the current directory, as the program's folder would be.
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-ledger-XXXXXX"));
    TChangeBook book(dir.path(), QStringLiteral("bench"), {ledger::kSinkDbus});
    if (!book.Open()) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(book.LastError()));
        return 1;
    }
    std::vector<double> times;
    for (int i = 0; i < changes; ++i) {
        TLedgerChange change;
        change.line = 1 + i % 4;
        change.netNum = 1 + i % 30;
        change.product = "Пшеница";
        change.countC = 1000 + i;
        change.countD = 12.5;
        const auto start = Clock::now();
        if (!book.Book(change)) {
            std::fprintf(stderr, "bench: %s\n", qPrintable(book.LastError()));
            return 1;
        }
        times.push_back(Ms(Clock::now() - start));
    }
    std::printf("ledger append (one transaction, synchronous=FULL, WAL) over %d changes: median "
                "%.3f ms, p99 %.3f ms, worst %.3f ms (goal: p99 < 10 ms)\n",
                changes, Percentile(times, 0.5), Percentile(times, 0.99),
                *std::max_element(times.begin(), times.end()));
    return 0;
}

// The main program's core on the store of XDG_CONFIG_HOME and a folder on this disk.
std::unique_ptr<TMainCore> StartCore(const QString& programDir)
{
    TCoreOptions options;
    options.programDir = programDir;
    options.storePath = TConfigStore::DefaultPath();
    options.callTimeoutMs = 1000;
    options.retryPeriodMs = 200;
    options.freeTerminalsWait = std::chrono::milliseconds(0);
    auto core = std::make_unique<TMainCore>(options);
    core->FormCreate();
    return core;
}

int BenchHungServer(const QString& name, int seconds, bool hung)
{
    test::TRecorderProcess server(name, {"--addcount"});
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-hang-XXXXXX"));
    auto core = StartCore(dir.path());
    if (!WaitFor([&] { return core->AccountServer()->Client().Ready(); }, 10000))
        return 1;
    if (hung)
        server.SetCountDelay(3600 * 1000); // takes every call, answers none
    // A change every 20 ms, as four busy lines book them; the loop's longest gap.
    QTimer booking;
    int booked = 0;
    double longestBooking = 0;
    QObject::connect(&booking, &QTimer::timeout, [&] {
        ++booked;
        const auto start = Clock::now();
        core->AddCountLine(1 + booked % 4, "Пшеница", static_cast<uint8_t>(1 + booked % 30), 1,
                           booked, "1", "c");
        longestBooking = std::max(longestBooking, Ms(Clock::now() - start));
    });
    booking.start(20);
    auto last = Clock::now();
    double longest = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        longest = std::max(longest, Ms(now - last));
        last = now;
    });
    probe.start(1);
    const auto until = Clock::now() + std::chrono::seconds(seconds);
    WaitFor([&] { return Clock::now() > until; }, seconds * 1000 + 1000);
    std::printf("server %s for %d s (1 s call time-out), a change booked every 20 ms (%d "
                "booked): longest window-thread gap %.1f ms%s, longest booking %.1f ms\n",
                hung ? "hanging" : "answering", seconds, booked, longest,
                hung ? " (goal: < 50 ms)" : " (the same loop without a hang, for comparison)",
                longestBooking);
    return 0;
}

int BenchCatchUp(const QString& name, bool addCount, int changes)
{
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-catchup-XXXXXX"));
    {
        // Written while the server is away: they all wait in the ledger.
        TChangeBook book(dir.path(), QStringLiteral("bench"), {ledger::kSinkDbus});
        if (!book.Open())
            return 1;
        // Filled fast: this part measures the sending, not the writing.
        book.Ledger().Db().Exec("PRAGMA synchronous=OFF");
        for (int i = 0; i < changes; ++i) {
            TLedgerChange change;
            change.bookedAtMs = 1;
            change.line = 1 + i % 4;
            change.netNum = 1 + i % 30;
            change.product = "Пшеница";
            change.countC = 1000 + i;
            change.countD = 12.5;
            if (!book.Ledger().Append(change))
                break;
        }
    }
    test::TRecorderProcess server(name, addCount ? QStringList {"--addcount"} : QStringList {});
    const auto start = Clock::now();
    auto core = StartCore(dir.path());
    const bool done = WaitFor(
        [&] { return core->AccountServer()->Waiting() == 0 && !core->AccountServer()->Sending(); },
        600000);
    const double seconds = Ms(Clock::now() - start) / 1000;
    if (!done || server.MethodCalls().size() != changes) {
        std::fprintf(stderr, "bench: catch-up incomplete (%lld of %d)\n",
                     static_cast<long long>(server.MethodCalls().size()), changes);
        return 1;
    }
    std::printf("catch-up of %d waiting changes, %s: %.2f s, %.0f changes/s%s\n", changes,
                addCount ? "AddCount" : "legacy AddCountLineN", seconds, changes / seconds,
                addCount ? " (goal: >= 1000/s)" : "");
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
    if (BenchAppend(2000) != 0)
        return 1;
    // Each part names its own server, as the store names it.
    const auto withServer = [](const QString& progId) {
        WriteFullStore(progId);
        return progId;
    };
    if (BenchHungServer(withServer(QStringLiteral("KarvelT.BenchHang")), 10, true) != 0 ||
        BenchHungServer(withServer(QStringLiteral("KarvelT.BenchAnswer")), 10, false) != 0)
        return 1;
    if (BenchCatchUp(withServer(QStringLiteral("KarvelT.BenchTwo")), true, 10000) != 0)
        return 1;
    if (BenchCatchUp(withServer(QStringLiteral("KarvelT.BenchOne")), false, 10000) != 0)
        return 1;
    return BenchReload(withServer(name), 20);
}

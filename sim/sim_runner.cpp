#include "sim_runner.h"

#include "sim_port.h"
#include "sim_record.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace karvel::sim {

namespace {

volatile sig_atomic_t g_stop = 0;
volatile sig_atomic_t g_silence = 0;
volatile sig_atomic_t g_unsilence = 0;

void OnSignal(int sig)
{
    if (sig == SIGUSR1)
        g_silence = 1;
    else if (sig == SIGUSR2)
        g_unsilence = 1;
    else
        g_stop = 1;
}

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2};
constexpr int64_t kIdleWakeUs = 100'000;
constexpr size_t kMaxQueuedBytes = 64 * 1024;
sigset_t g_waitMask;

TLineSetup SetupOf(const TSimOptions& o)
{
    TLineSetup setup;
    setup.terminals = o.terminals;
    setup.cycleMs = o.cycleMs;
    setup.seed = o.seed;
    setup.faults = o.faults;
    setup.errorRate = o.errorRate;
    setup.outletRate = o.outletRate;
    return setup;
}

bool WriteFileAtomically(const std::string& path, const std::string& text)
{
    const std::string temp = path + ".tmp";
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            close(fd);
            unlink(temp.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    close(fd);
    return rename(temp.c_str(), path.c_str()) == 0;
}

} // namespace

void TSimRunner::InstallSignals()
{
    struct sigaction action { };
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigset_t blocked;
    sigemptyset(&blocked);
    for (const int sig : kSignals) {
        sigaction(sig, &action, nullptr);
        sigaddset(&blocked, sig);
    }
    signal(SIGPIPE, SIG_IGN);
    // Signals are only taken inside ppoll, so a flag set just before the wait is never lost.
    sigprocmask(SIG_BLOCK, &blocked, &g_waitMask);
    for (const int sig : kSignals)
        sigdelset(&g_waitMask, sig);
}

TSimRunner::TSimRunner(const TSimOptions& options, const TRunnerFds& fds, bool pace)
    : options_(options), fds_(fds), lineFd_(fds.line), controlFd_(fds.control), pace_(pace),
      byteUs_(10'000'000 / options.baud), // start bit, 8 data bits, stop bit
      startUs_(NowUs()), line_(SetupOf(options), 0)
{
    for (const uint8_t net : options.silent)
        line_.SetSilent(net, true);
    if (options.verbose)
        line_.OnTrace = [this](const std::string& text) { Log(text); };
}

int64_t TSimRunner::NowUs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t {ts.tv_sec} * 1'000'000 + ts.tv_nsec / 1000;
}

void TSimRunner::Log(const std::string& text) const
{
    const int64_t ms = SinceStartMs(NowUs());
    std::fprintf(stderr, "%7lld.%03lld %s\n", static_cast<long long>(ms / 1000),
                 static_cast<long long>(ms % 1000), text.c_str());
}

int TSimRunner::Run()
{
    int status = 0;
    while (!g_stop) {
        int64_t now = NowUs();
        TakeSignals();
        line_.Advance(SinceStartMs(now));
        if (!Flush(now)) {
            status = 1;
            break;
        }
        if (!options_.record.empty() && now >= nextRecordUs_)
            WriteRecord(now);

        // A descriptor of -1 is skipped by ppoll.
        pollfd fds[3] = {{lineFd_, static_cast<short>(POLLIN | (writeBlocked_ ? POLLOUT : 0)), 0},
                         {controlFd_, POLLIN, 0},
                         {fds_.closeWatch, POLLIN, 0}};
        const int64_t waitUs = std::max<int64_t>(0, NextWakeUs(now) - now);
        const timespec timeout {static_cast<time_t>(waitUs / 1'000'000),
                                static_cast<long>(waitUs % 1'000'000) * 1000};
        const int ready = ppoll(fds, 3, &timeout, &g_waitMask);
        if (ready < 0 && errno != EINTR) {
            Log(std::string("poll: ") + std::strerror(errno));
            status = 1;
            break;
        }
        if (ready <= 0)
            continue;
        now = NowUs();
        if (fds[0].revents & POLLOUT)
            writeBlocked_ = false;
        if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) && !ReadLine(now)) {
            status = 1;
            break;
        }
        if (fds[1].revents & POLLIN)
            ReadControl(now);
        if (fds[2].revents & POLLIN)
            TakeCloses(fds_.closeWatch, fds_.keep);
    }
    if (!options_.record.empty())
        WriteRecord(NowUs());
    return status;
}

void TSimRunner::TakeSignals()
{
    const bool silence = g_silence != 0;
    const bool unsilence = g_unsilence != 0;
    g_silence = 0;
    g_unsilence = 0;
    for (const uint8_t net : options_.signalNets) {
        if (silence || unsilence) {
            line_.SetSilent(net, silence && !unsilence);
            Log("signal: terminal " + std::to_string(net) +
                (silence && !unsilence ? " silenced" : " answers again"));
        }
    }
}

bool TSimRunner::ReadLine(int64_t nowUs)
{
    uint8_t buffer[512];
    const ssize_t n = read(lineFd_, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return true;
    if (n <= 0) {
        Log(n == 0 ? "the line closed" : std::string("line read: ") + std::strerror(errno));
        return false;
    }
    const auto answers = line_.Receive(std::span<const uint8_t>(buffer, static_cast<size_t>(n)),
                                       SinceStartMs(nowUs));
    // On the wire the request ends n byte times after its first byte arrived.
    const int64_t requestEndUs = nowUs + (pace_ ? n * byteUs_ : 0);
    for (size_t i = 0; i < answers.size(); ++i)
        Schedule(answers[i], requestEndUs + int64_t {line_.ExtraDelaysMs()[i]} * 1000, nowUs);
    return true;
}

void TSimRunner::Schedule(const std::vector<uint8_t>& wire, int64_t requestUs, int64_t nowUs)
{
    // A master that writes requests but never reads would make the queue grow without end.
    if (out_.size() > kMaxQueuedBytes) {
        Log("the line does not take the answers; answer dropped");
        return;
    }
    int64_t at = std::max({requestUs + int64_t {options_.delayMs} * 1000, lineFreeUs_, nowUs});
    for (const uint8_t b : wire) {
        out_.push_back({at, b});
        if (pace_)
            at += byteUs_;
    }
    lineFreeUs_ = at;
}

bool TSimRunner::Flush(int64_t nowUs)
{
    if (writeBlocked_)
        return true;
    std::vector<uint8_t> due;
    for (const TimedByte& tb : out_) {
        if (tb.atUs > nowUs)
            break;
        due.push_back(tb.byte);
    }
    if (due.empty())
        return true;
    const ssize_t n = write(lineFd_, due.data(), due.size());
    if (n < 0) {
        if (errno == EAGAIN || errno == EINTR) {
            writeBlocked_ = true;
            return true;
        }
        Log(std::string("line write: ") + std::strerror(errno));
        return false;
    }
    out_.erase(out_.begin(), out_.begin() + n);
    writeBlocked_ = static_cast<size_t>(n) < due.size();
    return true;
}

int64_t TSimRunner::NextWakeUs(int64_t nowUs) const
{
    int64_t wake = nowUs + kIdleWakeUs;
    if (!out_.empty() && !writeBlocked_)
        wake = std::min(wake, out_.front().atUs);
    if (!options_.record.empty())
        wake = std::min(wake, nextRecordUs_);
    return wake;
}

void TSimRunner::ReadControl(int64_t nowUs)
{
    char buffer[512];
    const ssize_t n = read(controlFd_, buffer, sizeof buffer);
    if (n <= 0)
        return;
    controlText_.append(buffer, static_cast<size_t>(n));
    size_t end;
    while ((end = controlText_.find('\n')) != std::string::npos) {
        const std::string command = controlText_.substr(0, end);
        controlText_.erase(0, end + 1);
        const std::string result = line_.Control(command, SinceStartMs(nowUs));
        if (!result.empty())
            Log(result);
    }
    if (controlText_.size() > 4096)
        controlText_.clear(); // no line end in sight: not a command writer
}

void TSimRunner::WriteRecord(int64_t nowUs)
{
    const int64_t ms = SinceStartMs(nowUs);
    line_.Advance(ms);
    if (!WriteFileAtomically(options_.record, RecordLines(line_, ms)))
        Log("cannot write the record " + options_.record + ": " + std::strerror(errno));
    nextRecordUs_ = nowUs + int64_t {options_.recordMs} * 1000;
}

} // namespace karvel::sim

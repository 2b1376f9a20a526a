#pragma once
// The simulator's main loop: one poll() over the line descriptor and the control pipe,
// answers scheduled after the answer delay and, when pacing, sent byte by byte at the
// line's speed.

#include "sim_line.h"
#include "sim_options.h"

#include <cstdint>
#include <deque>
#include <string>

namespace karvel::sim {

// Descriptors the loop waits on; -1 where there is none.
struct TRunnerFds {
    int line = -1; // the line, non-blocking
    int control = -1; // the control pipe
    int keep = -1; // the pseudo-terminal's slave side held by the simulator
    int closeWatch = -1; // notices of openers closing the pseudo-terminal
};

class TSimRunner {
public:
    TSimRunner(const TSimOptions& options, const TRunnerFds& fds, bool pace);

    // Runs until SIGINT, SIGTERM or SIGHUP; returns the exit status.
    int Run();

    // Installs the signal handlers and blocks the signals outside the wait in poll.
    static void InstallSignals();

private:
    struct TimedByte {
        int64_t atUs;
        uint8_t byte;
    };

    static int64_t NowUs();
    int64_t SinceStartMs(int64_t us) const { return (us - startUs_) / 1000; }
    void TakeSignals();
    bool ReadLine(int64_t nowUs);
    void ReadControl(int64_t nowUs);
    void Schedule(const std::vector<uint8_t>& wire, int64_t requestUs, int64_t nowUs);
    bool Flush(int64_t nowUs);
    void WriteRecord(int64_t nowUs);
    int64_t NextWakeUs(int64_t nowUs) const;
    void Log(const std::string& text) const;

    const TSimOptions& options_;
    TRunnerFds fds_;
    int lineFd_;
    int controlFd_;
    bool pace_;
    int64_t byteUs_;
    int64_t startUs_;
    TSimLine line_;
    std::deque<TimedByte> out_;
    int64_t lineFreeUs_ = 0; // when the last scheduled byte has left
    bool writeBlocked_ = false;
    int64_t nextRecordUs_ = 0;
    std::string controlText_;
};

} // namespace karvel::sim

#pragma once
// The simulator's command line: terminals, port, timing, faults, trace and record.

#include "sim_faults.h"
#include "sim_terminal.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace karvel::sim {

struct TSimOptions {
    std::vector<TTerminalConfig> terminals;
    std::string link; // symbolic link made to the pseudo-terminal
    std::string device; // a serial device to answer on instead of a pseudo-terminal
    int baud = 19200;
    int delayMs = 5; // answer delay after the end of a request
    std::optional<bool> pace; // unset: pace on a pseudo-terminal, not on a device
    int64_t cycleMs = 8000;
    uint64_t seed = 1;
    TFaultRates faults;
    double errorRate = 0;
    double outletRate = 0;
    std::vector<uint8_t> silent;
    std::vector<uint8_t> signalNets; // silenced by SIGUSR1, brought back by SIGUSR2
    std::string control; // control FIFO
    std::string record; // JSON lines record file
    int recordMs = 500;
    bool verbose = false;
    bool help = false;
};

struct TParsedOptions {
    TSimOptions options;
    std::string error; // empty when the command line was good
};

// `args` without the program name. `configHome` is $XDG_CONFIG_HOME (or ~/.config), used
// for --com; `home` expands a leading "~/" in paths.
TParsedOptions ParseOptions(const std::vector<std::string>& args, const std::string& configHome,
                            const std::string& home);
std::string HelpText();

// "50.5" with 2 decimals -> 5050; nothing when the text is not such a number or has more
// decimals than given.
std::optional<uint64_t> ParseFixed(const std::string& text, int decimals);

} // namespace karvel::sim

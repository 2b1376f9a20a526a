#pragma once
// A line of simulated terminals: takes the bytes the master sends, finds the framed
// requests in them, lets the addressed terminal answer and turns the answer into wire
// bytes, with the line's faults applied. No I/O: the caller moves the bytes.

#include "com_vistam.h"
#include "port_link.h"
#include "sim_faults.h"
#include "sim_terminal.h"

#include <functional>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace karvel::sim {

struct TLineSetup {
    std::vector<TTerminalConfig> terminals;
    int64_t cycleMs = 8000;
    uint64_t seed = 1;
    TFaultRates faults;
    double errorRate = 0; // weigher faults per cycle
    double outletRate = 0; // outlet-full events per cycle
};

class TSimLine {
public:
    TSimLine(const TLineSetup& setup, int64_t nowMs);
    ~TSimLine();
    TSimLine(const TSimLine&) = delete;
    TSimLine& operator=(const TSimLine&) = delete;

    // Feeds received bytes; returns the wire bytes of every answer they call for, in order.
    std::vector<std::vector<uint8_t>> Receive(std::span<const uint8_t> bytes, int64_t nowMs);
    // For each answer of the last Receive: how much later than usual it is to go out.
    const std::vector<int>& ExtraDelaysMs() const { return extraDelaysMs_; }
    // Moves every terminal's cycle on to `nowMs`.
    void Advance(int64_t nowMs);

    TSimTerminal* Find(uint8_t net);
    const std::vector<std::unique_ptr<TSimTerminal>>& Terminals() const { return terminals_; }
    void SetSilent(uint8_t net, bool silent);
    bool IsSilent(uint8_t net) const { return silent_.count(net) != 0; }

    // A control line ("silence 5", "unsilence all", "stop 5", "start 5", "error 5",
    // "outlet 5 on|off"); returns what was done or why not.
    std::string Control(const std::string& line, int64_t nowMs);

    uint64_t Requests() const { return requests_; }
    uint64_t Answers() const { return answers_; }

    // One line per request, for the verbose trace.
    std::function<void(const std::string&)> OnTrace;

private:
    class Port;
    void HandlePacket(std::span<const uint8_t> packet, int64_t nowMs,
                      std::vector<std::vector<uint8_t>>& out);
    void Trace(const std::string& text) const;

    std::vector<std::unique_ptr<TSimTerminal>> terminals_;
    std::set<uint8_t> silent_;
    TFaultPlan faults_;
    std::unique_ptr<Port> port_; // declared before the decoder: outlives it
    std::unique_ptr<TComVistam> decoder_;
    std::vector<std::vector<uint8_t>> received_; // packets decoded from the current bytes
    std::vector<int> extraDelaysMs_;
    uint64_t requests_ = 0;
    uint64_t answers_ = 0;
};

} // namespace karvel::sim

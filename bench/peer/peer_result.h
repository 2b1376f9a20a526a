#pragma once
// What one side of the benchmark measured, and the clocks it measures with.

#include <cstdint>
#include <string>

namespace karvel::peer {

struct TRunResult {
    std::string name;
    int exchanges = 0; // answered
    int failed = 0; // no valid answer
    double wallS = 0;
    double cpuS = 0; // this process, all its threads
    double slaveCpuS = 0; // the answering process (simulator or libmodbus slave)
    long switches = 0; // this process's context switches (all its threads): its wake-ups
    int requestBytes = 0;
    int answerBytes = 0;
    double PerSecond() const { return wallS > 0 ? exchanges / wallS : 0; }
    double CpuUsPerExchange() const { return exchanges > 0 ? cpuS * 1e6 / exchanges : 0; }
    double SlaveCpuUsPerExchange() const { return exchanges > 0 ? slaveCpuS * 1e6 / exchanges : 0; }
    double SwitchesPerExchange() const { return exchanges > 0 ? double(switches) / exchanges : 0; }
};

// Wall and CPU time of this process since construction.
class TStopwatch {
public:
    TStopwatch();
    double WallS() const;
    double CpuS() const;
    // Of the children that ended since construction (the answering side, once it ended).
    double ChildCpuS() const;
    long Switches() const; // voluntary and involuntary, since construction

private:
    double wall0_;
    double cpu0_;
    double child0_;
    long switches0_;
};

// Byte time at the line speed: ten bits per byte.
constexpr int64_t ByteMicros(int baud)
{
    return 10'000'000 / baud;
}

} // namespace karvel::peer

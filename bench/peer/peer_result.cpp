#include "peer_result.h"

#include <sys/resource.h>

#include <chrono>

namespace karvel::peer {

namespace {

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double Cpu(int who = RUSAGE_SELF)
{
    rusage usage {};
    getrusage(who, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long SwitchCount()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw + usage.ru_nivcsw;
}

} // namespace

TStopwatch::TStopwatch()
    : wall0_(Now()), cpu0_(Cpu()), child0_(Cpu(RUSAGE_CHILDREN)), switches0_(SwitchCount())
{ }
long TStopwatch::Switches() const
{
    return SwitchCount() - switches0_;
}
double TStopwatch::WallS() const
{
    return Now() - wall0_;
}
double TStopwatch::CpuS() const
{
    return Cpu() - cpu0_;
}
double TStopwatch::ChildCpuS() const
{
    return Cpu(RUSAGE_CHILDREN) - child0_;
}

} // namespace karvel::peer

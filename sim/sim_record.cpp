#include "sim_record.h"

#include "sim_line.h"
#include "sim_text.h"

#include <cstdio>

namespace karvel::sim {

namespace {

const char* PhaseName(Phase phase)
{
    switch (phase) {
    case Phase::Loading:
        return "loading";
    case Phase::Weighing:
        return "weighing";
    case Phase::Unloading:
        return "unloading";
    }
    return "";
}

const char* Bool(bool value)
{
    return value ? "true" : "false";
}

} // namespace

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += ch; // UTF-8 passes through
        }
    }
    return out + "\"";
}

std::string RecordLines(const TSimLine& line, int64_t timeMs)
{
    std::string out;
    for (const auto& t : line.Terminals()) {
        const TTerminalConfig& config = t->Config();
        const TWeighingCycle& cycle = t->Cycle();
        const TCycleCounters& c = cycle.Counters();
        out += "{\"time_ms\":" + std::to_string(timeMs);
        out += ",\"net\":" + std::to_string(config.net);
        out += ",\"model\":" + JsonString(ModelName(config.model));
        out += ",\"product\":" + JsonString(config.product);
        out += ",\"decimals\":" + std::to_string(config.decimals);
        out += ",\"C_raw\":" + std::to_string(c.C);
        out += ",\"n\":" + std::to_string(c.n);
        out += ",\"E_raw\":" + std::to_string(c.E);
        out += ",\"d_raw\":" + std::to_string(c.d);
        out += ",\"P_raw\":" + std::to_string(c.P);
        out += ",\"t_raw\":" + std::to_string(c.t);
        out += ",\"passed_raw\":" + std::to_string(cycle.PassedRaw());
        out +=
            ",\"passed_kg\":" + RawText(static_cast<int64_t>(cycle.PassedRaw()), config.decimals);
        out += ",\"unweighed_raw\":" + std::to_string(cycle.UnweighedRaw());
        out += ",\"phase\":" + JsonString(PhaseName(cycle.CurrentPhase()));
        out += ",\"state\":" + std::to_string(cycle.StateBits());
        out += ",\"running\":" + std::string(Bool(cycle.Running()));
        out += ",\"blocked\":" + std::string(Bool(cycle.Blocked()));
        out += ",\"error\":" + std::string(Bool(cycle.Error()));
        out += ",\"outlet_full\":" + std::string(Bool(cycle.OutletFull()));
        out += ",\"silent\":" + std::string(Bool(line.IsSilent(config.net)));
        out += "}\n";
    }
    return out;
}

} // namespace karvel::sim

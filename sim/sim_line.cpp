#include "sim_line.h"

#include "sim_feed_port.h"

#include "sim_text.h"

#include <cstdlib>
#include <sstream>

namespace karvel::sim {

// The simulator has no port object of its own: it feeds the decoder directly.
class TSimLine::Port : public TFeedPort { };

TSimLine::TSimLine(const TLineSetup& setup, int64_t nowMs)
    : faults_(setup.faults, setup.seed), port_(std::make_unique<Port>()),
      decoder_(std::make_unique<TComVistam>())
{
    for (const TTerminalConfig& config : setup.terminals) {
        // Each terminal draws from its own sequence, so its cycle does not depend on the
        // order in which the master polls.
        const uint64_t seed = setup.seed * 0x100000001B3ull + config.net;
        auto terminal = std::make_unique<TSimTerminal>(config, setup.cycleMs, seed, nowMs);
        terminal->Cycle().SetEventRates(setup.errorRate, setup.outletRate);
        terminals_.push_back(std::move(terminal));
    }
    decoder_->SetComPort(port_.get());
    decoder_->OnNewPacketRead = [this](const uint8_t* value, uint8_t colByte, bool findMail) {
        // A good frame arrives with its checksum byte last.
        if (findMail && colByte >= 2)
            received_.emplace_back(value, value + colByte - 1);
    };
}

TSimLine::~TSimLine() = default;

TSimTerminal* TSimLine::Find(uint8_t net)
{
    for (auto& t : terminals_) {
        if (t->Config().net == net)
            return t.get();
    }
    return nullptr;
}

void TSimLine::SetSilent(uint8_t net, bool silent)
{
    if (silent)
        silent_.insert(net);
    else
        silent_.erase(net);
}

void TSimLine::Advance(int64_t nowMs)
{
    for (auto& t : terminals_)
        t->Cycle().Advance(nowMs);
}

std::vector<std::vector<uint8_t>> TSimLine::Receive(std::span<const uint8_t> bytes, int64_t nowMs)
{
    std::vector<std::vector<uint8_t>> out;
    extraDelaysMs_.clear();
    for (const uint8_t b : bytes) {
        port_->Feed(b);
        for (const auto& packet : received_)
            HandlePacket(packet, nowMs, out);
        received_.clear();
    }
    return out;
}

void TSimLine::HandlePacket(std::span<const uint8_t> packet, int64_t nowMs,
                            std::vector<std::vector<uint8_t>>& out)
{
    ++requests_;
    const std::string rx = "rx " + HexBytes(packet);
    TSimTerminal* terminal = Find(packet[0]);
    if (terminal == nullptr) {
        Trace(rx + "  | no terminal " + std::to_string(packet[0]) + " on this line");
        return;
    }
    if (IsSilent(packet[0])) {
        Trace(rx + "  | terminal " + std::to_string(packet[0]) + " is silent");
        return;
    }
    const TAnswer answer = terminal->Respond(packet, nowMs);
    if (answer.packet.empty()) {
        Trace(rx + "  | " + answer.text);
        return;
    }
    const TFaultDecision decision = faults_.Decide(packet[0]);
    std::vector<uint8_t> wire = TFaultPlan::Apply(decision, answer.packet);
    std::string text = rx + "  | tx " + HexBytes(answer.packet) + "  | " + answer.text;
    const std::string fault = TFaultPlan::Describe(decision);
    if (!fault.empty())
        text += "  | FAULT: " + fault;
    Trace(text);
    if (!wire.empty()) {
        ++answers_;
        out.push_back(std::move(wire));
        extraDelaysMs_.push_back(decision.late ? TFaultPlan::kLateAnswerMs : 0);
    }
}

void TSimLine::Trace(const std::string& text) const
{
    if (OnTrace)
        OnTrace(text);
}

std::string TSimLine::Control(const std::string& line, int64_t nowMs)
{
    std::istringstream in(line);
    std::string verb, target, arg;
    in >> verb >> target >> arg;
    if (verb.empty())
        return "";
    std::vector<TSimTerminal*> chosen;
    if (target == "all") {
        for (auto& t : terminals_)
            chosen.push_back(t.get());
    } else {
        char* end = nullptr;
        const long net = std::strtol(target.c_str(), &end, 10);
        TSimTerminal* t = (end && *end == '\0' && net > 0 && net < 256)
            ? Find(static_cast<uint8_t>(net))
            : nullptr;
        if (t == nullptr)
            return "control: no terminal '" + target +
                "' (give a network number of this line or 'all')";
        chosen.push_back(t);
    }
    Advance(nowMs);
    for (TSimTerminal* t : chosen) {
        TWeighingCycle& cycle = t->Cycle();
        const uint8_t net = t->Config().net;
        if (verb == "silence")
            SetSilent(net, true);
        else if (verb == "unsilence")
            SetSilent(net, false);
        else if (verb == "stop")
            cycle.Stop();
        else if (verb == "start")
            cycle.Start();
        else if (verb == "error")
            cycle.RaiseError();
        else if (verb == "outlet" && (arg == "on" || arg == "off"))
            cycle.SetOutletFull(arg == "on");
        else
            return "control: unknown command '" + line +
                "' (silence, unsilence, stop, start, error, outlet N on|off)";
    }
    return "control: " + line;
}

} // namespace karvel::sim

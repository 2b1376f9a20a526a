#include "sim_options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <set>
#include <sstream>

namespace karvel::sim {

namespace {

constexpr int kMaxTerminals = 30;
constexpr uint32_t kMaxPortionRaw = 999999;
constexpr int kStandardBauds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

struct TTerminalArgs {
    std::string net, model, product, portion, decimals;
};

std::vector<std::string> Split(const std::string& text, char sep)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, sep))
        parts.push_back(part);
    if (!text.empty() && text.back() == sep)
        parts.emplace_back();
    return parts;
}

std::optional<long long> ParseInt(const std::string& text, long long low, long long high)
{
    if (text.empty())
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<double> ParseRate(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !(value >= 0.0 && value <= 1.0))
        return std::nullopt;
    return value;
}

std::optional<Model> ParseModel(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return std::toupper(c); });
    text.erase(std::remove(text.begin(), text.end(), '-'), text.end());
    if (text == "KR100")
        return Model::KR100;
    if (text == "KR200")
        return Model::KR200;
    return std::nullopt;
}

std::string ExpandHome(const std::string& path, const std::string& home)
{
    if (path.rfind("~/", 0) == 0 && !home.empty())
        return home + path.substr(1);
    return path;
}

class TParser {
public:
    TParser(const std::vector<std::string>& args, const std::string& configHome,
            const std::string& home)
        : args_(args), configHome_(configHome), home_(home)
    { }
    TParsedOptions Run();

private:
    bool Fail(const std::string& message)
    {
        if (error_.empty())
            error_ = message;
        return false;
    }
    static bool Store(std::string& field, std::string value)
    {
        field = std::move(value);
        return true;
    }
    bool Option(const std::string& name, const std::string& value);
    bool Net(const std::string& option, const std::string& text, std::vector<uint8_t>& into);
    bool Rate(const std::string& option, const std::string& text, double& into);
    bool Resolve();
    bool MakeTerminal(const TTerminalArgs& args);

    const std::vector<std::string>& args_;
    std::string configHome_, home_;
    TSimOptions o_;
    std::string error_;
    std::vector<TTerminalArgs> specs_;
    std::string listModel_ = "KR200";
    std::string listNets_;
    std::string portion_ = "50";
    std::string decimals_ = "2";
};

TParsedOptions TParser::Run()
{
    static const std::set<std::string> kFlags = {"--help", "-h",     "--verbose",
                                                 "-v",     "--pace", "--no-pace"};
    static const std::set<std::string> kValued = {
        "--terminal", "-t",          "--model",       "--terminals",      "--portion",
        "--decimals", "--link",      "--com",         "--device",         "--control",
        "--record",   "--baud",      "--delay-ms",    "--cycle-ms",       "--record-ms",
        "--seed",     "--silent",    "--signal-nets", "--drop",           "--corrupt",
        "--noise",    "--wrong-net", "--late",        "--weigher-errors", "--outlet-full"};
    for (size_t i = 0; i < args_.size() && error_.empty(); ++i) {
        std::string name = args_[i];
        std::string value;
        const size_t eq = name.find('=');
        const bool inlineValue = name.rfind("--", 0) == 0 && eq != std::string::npos;
        if (inlineValue) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        if (kFlags.count(name)) {
            if (inlineValue)
                Fail(name + " takes no value");
            else
                Option(name, "");
            continue;
        }
        if (!kValued.count(name)) {
            Fail(name.rfind("-", 0) == 0 ? "unknown option '" + name + "' (see --help)"
                                         : "unexpected argument '" + name + "' (see --help)");
            break;
        }
        if (!inlineValue) {
            if (i + 1 >= args_.size()) {
                Fail(name + " needs a value");
                break;
            }
            value = args_[++i];
        }
        Option(name, value);
    }
    if (error_.empty() && !o_.help)
        Resolve();
    return {o_, error_};
}

bool TParser::Option(const std::string& name, const std::string& value)
{
    if (name == "--help" || name == "-h")
        return o_.help = true;
    if (name == "--verbose" || name == "-v")
        return o_.verbose = true;
    if (name == "--pace" || name == "--no-pace") {
        o_.pace = name == "--pace";
        return true;
    }
    if (name == "--terminal" || name == "-t") {
        auto parts = Split(value, ':');
        if (parts.size() < 3 || parts.size() > 5)
            return Fail("--terminal wants NET:MODEL:PRODUCT[:PORTION_KG[:DECIMALS]], got '" +
                        value + "'");
        parts.resize(5);
        specs_.push_back({parts[0], parts[1], parts[2], parts[3], parts[4]});
        return true;
    }
    if (name == "--model")
        return Store(listModel_, value);
    if (name == "--terminals")
        return Store(listNets_, value);
    if (name == "--portion")
        return Store(portion_, value);
    if (name == "--decimals")
        return Store(decimals_, value);
    if (name == "--link")
        return Store(o_.link, ExpandHome(value, home_));
    if (name == "--com") {
        const auto n = ParseInt(value, 1, 255);
        if (!n)
            return Fail("--com wants a port number 1..255, got '" + value + "'");
        o_.link = configHome_ + "/Vistam/dosdevices/com" + std::to_string(*n);
        return true;
    }
    if (name == "--device")
        return Store(o_.device, ExpandHome(value, home_));
    if (name == "--control")
        return Store(o_.control, ExpandHome(value, home_));
    if (name == "--record")
        return Store(o_.record, ExpandHome(value, home_));
    if (name == "--baud") {
        const auto b = ParseInt(value, 1, 4000000);
        if (!b ||
            std::find(std::begin(kStandardBauds), std::end(kStandardBauds), *b) ==
                std::end(kStandardBauds))
            return Fail("--baud wants one of 1200 2400 4800 9600 19200 38400 57600 115200, got '" +
                        value + "'");
        o_.baud = static_cast<int>(*b);
        return true;
    }
    if (name == "--delay-ms") {
        const auto d = ParseInt(value, 0, 10000);
        if (!d)
            return Fail("--delay-ms wants 0..10000, got '" + value + "'");
        o_.delayMs = static_cast<int>(*d);
        return true;
    }
    if (name == "--cycle-ms") {
        const auto c = ParseInt(value, TWeighingCycle::kMinCycleMs, 86400000);
        if (!c)
            return Fail("--cycle-ms wants " + std::to_string(TWeighingCycle::kMinCycleMs) +
                        "..86400000, got '" + value + "'");
        o_.cycleMs = *c;
        return true;
    }
    if (name == "--record-ms") {
        const auto r = ParseInt(value, 10, 3600000);
        if (!r)
            return Fail("--record-ms wants 10..3600000, got '" + value + "'");
        o_.recordMs = static_cast<int>(*r);
        return true;
    }
    if (name == "--seed") {
        errno = 0;
        char* end = nullptr;
        const unsigned long long s = std::strtoull(value.c_str(), &end, 0);
        if (value.empty() || *end != '\0' || errno != 0 || value[0] == '-')
            return Fail("--seed wants a non-negative whole number, got '" + value + "'");
        o_.seed = s;
        return true;
    }
    if (name == "--silent")
        return Net(name, value, o_.silent);
    if (name == "--signal-nets")
        return Net(name, value, o_.signalNets);
    if (name == "--drop")
        return Rate(name, value, o_.faults.drop);
    if (name == "--corrupt")
        return Rate(name, value, o_.faults.corrupt);
    if (name == "--noise")
        return Rate(name, value, o_.faults.noise);
    if (name == "--wrong-net")
        return Rate(name, value, o_.faults.wrongNet);
    if (name == "--late")
        return Rate(name, value, o_.faults.late);
    if (name == "--weigher-errors")
        return Rate(name, value, o_.errorRate);
    if (name == "--outlet-full")
        return Rate(name, value, o_.outletRate);
    return Fail("unknown option '" + name + "' (see --help)");
}

bool TParser::Net(const std::string& option, const std::string& text, std::vector<uint8_t>& into)
{
    for (const std::string& part : Split(text, ',')) {
        const auto n = ParseInt(part, 1, 254);
        if (!n)
            return Fail(option + " wants network numbers 1..254 separated by commas, got '" + text +
                        "'");
        into.push_back(static_cast<uint8_t>(*n));
    }
    return true;
}

bool TParser::Rate(const std::string& option, const std::string& text, double& into)
{
    const auto r = ParseRate(text);
    if (!r)
        return Fail(option + " wants a probability from 0 to 1 (e.g. 0.05), got '" + text + "'");
    into = *r;
    return true;
}

bool TParser::MakeTerminal(const TTerminalArgs& args)
{
    TTerminalConfig config;
    const auto net = ParseInt(args.net, 1, 254);
    if (!net)
        return Fail("network number must be 1..254 (FF cannot be framed), got '" + args.net + "'");
    config.net = static_cast<uint8_t>(*net);
    const auto model = ParseModel(args.model);
    if (!model)
        return Fail("model must be KR100 or KR200, got '" + args.model + "'");
    config.model = *model;
    config.product = args.product.empty() ? "Продукт " + args.net : args.product;
    const auto decimals = ParseInt(args.decimals.empty() ? decimals_ : args.decimals, 0, 7);
    if (!decimals)
        return Fail("decimals must be 0..7 for terminal " + args.net);
    config.decimals = static_cast<int>(*decimals);
    const std::string portionText = args.portion.empty() ? portion_ : args.portion;
    const auto portion = ParseFixed(portionText, config.decimals);
    if (!portion || *portion == 0 || *portion > kMaxPortionRaw)
        return Fail("portion '" + portionText + "' of terminal " + args.net +
                    " must be above 0, have at most " + std::to_string(config.decimals) +
                    " decimals and at most six digits");
    config.portionRaw = static_cast<uint32_t>(*portion);
    o_.terminals.push_back(config);
    return true;
}

bool TParser::Resolve()
{
    if (!listNets_.empty()) {
        for (const std::string& net : Split(listNets_, ','))
            specs_.push_back({net, listModel_, "", "", ""});
    }
    for (const TTerminalArgs& args : specs_) {
        if (!MakeTerminal(args))
            return false;
    }
    if (o_.terminals.empty())
        return Fail(
            "no terminals: give --terminal NET:MODEL:PRODUCT or --terminals LIST (see --help)");
    if (static_cast<int>(o_.terminals.size()) > kMaxTerminals)
        return Fail("a line has at most 30 terminals");
    std::set<uint8_t> nets;
    for (const auto& t : o_.terminals) {
        if (!nets.insert(t.net).second)
            return Fail("network number " + std::to_string(t.net) + " is given twice");
    }
    for (const auto& list : {o_.silent, o_.signalNets}) {
        for (const uint8_t n : list) {
            if (!nets.count(n))
                return Fail("network number " + std::to_string(n) +
                            " is not a terminal of this line");
        }
    }
    if (o_.signalNets.empty())
        o_.signalNets.push_back(o_.terminals.front().net);
    if (!o_.device.empty() && !o_.link.empty())
        return Fail("--link/--com make a link to the pseudo-terminal; with --device there is none");
    return true;
}

} // namespace

std::optional<uint64_t> ParseFixed(const std::string& text, int decimals)
{
    const size_t dot = text.find('.');
    const std::string whole = text.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
    const auto digits = [](const std::string& s) {
        return std::all_of(s.begin(), s.end(), ::isdigit);
    };
    if (whole.empty() || !digits(whole) || !digits(fraction) ||
        static_cast<int>(fraction.size()) > decimals ||
        (dot != std::string::npos && fraction.empty()) || whole.size() > 12)
        return std::nullopt;
    uint64_t value = std::stoull(whole);
    for (int i = 0; i < decimals; ++i)
        value = value * 10 +
            (i < static_cast<int>(fraction.size())
                 ? static_cast<uint64_t>(fraction[static_cast<size_t>(i)] - '0')
                 : 0);
    return value;
}

TParsedOptions ParseOptions(const std::vector<std::string>& args, const std::string& configHome,
                            const std::string& home)
{
    return TParser(args, configHome, home).Run();
}

} // namespace karvel::sim

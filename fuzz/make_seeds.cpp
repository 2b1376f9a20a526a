// Writes the seed corpus of the fuzz targets: real answers of simulated KR-100 and KR-200
// terminals to every request of the polling cycle and to commands, framed in each of the
// four variants, and whole answer sequences for the terminal model.
// Usage: fuzz_make_seeds DIR   (writes DIR/framing and DIR/terminal)
#include "com_vistam.h"
#include "fuzz_input.h"
#include "sim_terminal.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace karvel;
using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

// The requests of the polling cycle, then commands and the dosing parameters.
std::vector<Bytes> Requests(uint8_t net)
{
    std::vector<Bytes> r = {{net, 0xC3}, {net, 0xC4}, {net, 0xC5}, {net, 0xBF}};
    for (uint8_t counter : {1, 3, 4, 6, 8, 9})
        r.push_back({net, 0xC8, counter});
    r.push_back({net, 0xB3});
    r.push_back({net, 0xDF, 1});
    r.push_back({net, 0xDF, 7});
    Bytes write = {net, 0xB4};
    for (uint8_t b : {0x00, 0x50, 0x00, 0x20, 0x00, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                      0x00, 0x00, 0x00})
        write.push_back(b);
    r.push_back(write);
    return r;
}

void Write(const fs::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

Bytes Frame(TProtocol protocol, const Bytes& packet)
{
    uint8_t out[512];
    int length = 0;
    switch (protocol) {
    case TProtocol::VISTAM:
        length = BuildVistamFrame(packet.data(), static_cast<int>(packet.size()), out, sizeof out);
        break;
    case TProtocol::BBS:
        length = BuildBbsFrame(packet.data(), static_cast<int>(packet.size()), out, sizeof out);
        break;
    case TProtocol::P6_43Master: { // nine answer bytes, no framing
        Bytes nine(packet.begin() + 2, packet.end());
        nine.resize(9, 0);
        return nine;
    }
    case TProtocol::P6_43Slave: { // address "0005" after 01 hex, then 10 hex and nine bytes
        char address[8];
        std::snprintf(address, sizeof address, "%04u", static_cast<unsigned>(packet[0]));
        Bytes bytes = {0x01};
        bytes.insert(bytes.end(), address, address + 4);
        bytes.push_back(0x10);
        bytes.insert(bytes.end(), packet.begin() + 2, packet.end());
        bytes.resize(15, 0);
        return bytes;
    }
    }
    return Bytes(out, out + length);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_make_seeds DIR\n");
        return 2;
    }
    const fs::path dir = argv[1];
    fs::create_directories(dir / "framing");
    fs::create_directories(dir / "terminal");
    int files = 0;
    for (const sim::Model model : {sim::Model::KR100, sim::Model::KR200}) {
        const uint8_t net = model == sim::Model::KR100 ? 5 : 6;
        const std::string name = sim::ModelName(model);
        sim::TSimTerminal terminal({net, model, "Продукт", 2, 5000}, 400, 1, 0);
        const auto requests = Requests(net);

        // One answer to each request, in each variant; and all of them back to back.
        int64_t now = 0;
        for (int variant = 0; variant < 4; ++variant) {
            Bytes all = {static_cast<uint8_t>(variant), net};
            for (size_t i = 0; i < requests.size(); ++i) {
                const sim::TAnswer answer = terminal.Respond(requests[i], now += 37);
                if (answer.packet.empty())
                    continue;
                const Bytes frame = Frame(static_cast<TProtocol>(variant), answer.packet);
                Bytes seed = {static_cast<uint8_t>(variant), net};
                seed.insert(seed.end(), frame.begin(), frame.end());
                Write(dir / "framing" /
                          (name + "_v" + std::to_string(variant) + "_" + std::to_string(i)),
                      seed);
                all.insert(all.end(), frame.begin(), frame.end());
                ++files;
            }
            all[0] = static_cast<uint8_t>(variant | (40 << 2)); // with silence notices too
            Write(dir / "framing" / (name + "_v" + std::to_string(variant) + "_all"), all);
            ++files;
        }

        // The terminal model: forty rounds of the polling cycle while the weigher works,
        // a run of failed exchanges (link lost and back) and a command.
        Bytes seed = {static_cast<uint8_t>(model == sim::Model::KR200 ? 1 : 0), net};
        for (int round = 0; round < 40; ++round) {
            for (size_t i = 0; i < 10; ++i) {
                const sim::TAnswer answer = terminal.Respond(requests[i], now += 41);
                if (answer.packet.empty() || answer.packet.size() > 0x3F)
                    continue;
                seed.push_back(static_cast<uint8_t>(answer.packet.size()));
                seed.insert(seed.end(), answer.packet.begin(), answer.packet.end());
            }
            if (round == 20)
                seed.insert(seed.end(), 19, fuzz::kTagBadResponse);
            if (round == 30)
                seed.insert(seed.end(), {fuzz::kTagCommand, 3, fuzz::kTagShow});
        }
        Write(dir / "terminal" / ("cycle_" + name), seed);
        ++files;
    }
    std::printf("%d seed files in %s\n", files, dir.c_str());
    return 0;
}

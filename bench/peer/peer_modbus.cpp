#include "peer_modbus.h"

#include "peer_pacer.h"

#include <modbus.h>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

namespace karvel::peer {

namespace {

constexpr int kSlaveId = 5;
constexpr int kRegisters = 3; // an answer of 11 bytes, near the terminal's counter answer

// The slave: serves requests on `fd` until the master end goes away or it is told to stop.
[[noreturn]] void ServeSlave(int lineFd, bool paced, int baud)
{
    int serveFd = lineFd;
    std::unique_ptr<TPacer> pacer;
    if (paced) {
        int pair[2];
        if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
            _exit(1);
        serveFd = pair[0];
        pacer = std::make_unique<TPacer>(lineFd, pair[1], baud);
    }
    modbus_t* ctx = modbus_new_rtu("/dev/null", baud, 'N', 8, 1); // the device is never opened
    modbus_mapping_t* map = modbus_mapping_new(0, 0, 16, 0);
    if (ctx == nullptr || map == nullptr)
        _exit(1);
    for (int i = 0; i < 16; ++i)
        map->tab_registers[i] = static_cast<uint16_t>(0x1234 + i);
    modbus_set_slave(ctx, kSlaveId);
    modbus_set_socket(ctx, serveFd);
    uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    for (;;) {
        const int rc = modbus_receive(ctx, query);
        if (rc > 0)
            modbus_reply(ctx, query, rc, map);
        else if (rc < 0 && errno != EMBBADCRC && errno != EMBBADDATA)
            break; // the master's end closed
    }
    _exit(0);
}

} // namespace

TRunResult RunModbus(int exchanges, bool paced, int baud)
{
    TRunResult result;
    result.name = "libmodbus";
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        result.failed = exchanges;
        return result;
    }
    const char* path = ptsname(master);
    termios raw {};
    tcgetattr(master, &raw);
    cfmakeraw(&raw);
    tcsetattr(master, TCSANOW, &raw);
    // Held open until the end, so the slave never reads a hung-up line before the master
    // has opened its end.
    const int hold = open(path, O_RDWR | O_NOCTTY);

    TStopwatch children;
    const pid_t child = fork();
    if (child == 0) {
        close(hold);
        ServeSlave(master, paced, baud);
    }
    close(master);

    modbus_t* ctx = modbus_new_rtu(path, baud, 'N', 8, 1);
    modbus_set_slave(ctx, kSlaveId);
    modbus_set_response_timeout(ctx, 0, 140000); // the same wait as the polling cycle
    if (ctx == nullptr || modbus_connect(ctx) != 0) {
        result.failed = exchanges;
    } else {
        uint16_t registers[kRegisters];
        TStopwatch clock;
        for (int i = 0; i < exchanges; ++i) {
            if (modbus_read_registers(ctx, 0, kRegisters, registers) == kRegisters)
                ++result.exchanges;
            else
                ++result.failed;
        }
        result.wallS = clock.WallS();
        result.cpuS = clock.CpuS();
        result.switches = clock.Switches();
        result.requestBytes = 8;
        result.answerBytes = 5 + 2 * kRegisters;
        modbus_close(ctx);
    }
    if (ctx)
        modbus_free(ctx);
    close(hold);
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    result.slaveCpuS = children.ChildCpuS();
    return result;
}

} // namespace karvel::peer

// karvel-sim: a line of simulated weighing terminals on a pseudo-terminal or a serial
// device. See --help.

#include "sim_options.h"
#include "sim_port.h"
#include "sim_runner.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

using namespace karvel::sim;

namespace {

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

int Fail(const std::string& message, int status)
{
    std::fprintf(stderr, "karvel-sim: %s\n", message.c_str());
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string home = Env("HOME");
    std::string configHome = Env("XDG_CONFIG_HOME");
    if (configHome.empty())
        configHome = home + "/.config";

    const TParsedOptions parsed =
        ParseOptions(std::vector<std::string>(argv + 1, argv + argc), configHome, home);
    if (!parsed.error.empty())
        return Fail(parsed.error + "\n(karvel-sim --help explains the options)", 2);
    const TSimOptions& options = parsed.options;
    if (options.help) {
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    }

    TSimRunner::InstallSignals();
    const bool onDevice = !options.device.empty();
    TOpenedPort port = onDevice ? OpenSerialDevice(options.device, options.baud)
                                : OpenPseudoTerminal(options.baud);
    if (port.fd < 0)
        return Fail(port.error, 1);

    std::string error;
    if (!options.link.empty() && !MakeLink(options.link, port.path, error)) {
        ClosePort(port);
        return Fail(error, 1);
    }
    bool fifoCreated = false;
    int controlFd = -1;
    if (!options.control.empty() &&
        (controlFd = OpenControlFifo(options.control, fifoCreated, error)) < 0) {
        if (!options.link.empty())
            RemoveLink(options.link, port.path);
        ClosePort(port);
        return Fail(error, 1);
    }

    TRunnerFds fds;
    fds.line = port.fd;
    fds.control = controlFd;
    fds.keep = port.keepFd;
    fds.closeWatch = onDevice ? -1 : WatchCloses(port.path);

    // The first line on standard output names the port; tests and scripts wait for it.
    std::printf("%s %s\n", onDevice ? "device" : "pty", port.path.c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "karvel-sim: %zu terminal(s) on %s%s%s, cycle %lld ms; Ctrl+C ends\n",
                 options.terminals.size(), port.path.c_str(),
                 options.link.empty() ? "" : " linked as ", options.link.c_str(),
                 static_cast<long long>(options.cycleMs));

    const bool pace = options.pace.value_or(!onDevice);
    int status = 0;
    {
        TSimRunner runner(options, fds, pace);
        status = runner.Run();
    }
    if (fds.closeWatch >= 0)
        close(fds.closeWatch);

    if (controlFd >= 0)
        close(controlFd);
    if (fifoCreated)
        unlink(options.control.c_str());
    if (!options.link.empty())
        RemoveLink(options.link, port.path);
    ClosePort(port);
    return status;
}

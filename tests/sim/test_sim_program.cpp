// The karvel-sim program on a real pseudo-terminal: framed requests in, framed answers
// out, link, record and run-time silencing.

#include "sim_test_util.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace karvel::sim::test;
namespace fs = std::filesystem;

namespace {

// The simulator as a child process whose first output line is read.
class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string>& args)
    {
        int out[2];
        if (pipe(out) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv {const_cast<char*>(KARVEL_SIM_PATH)};
            for (const auto& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(KARVEL_SIM_PATH, argv.data());
            _exit(127);
        }
        close(out[1]);
        out_ = out[0];
    }
    ~SimProcess()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0)
            close(out_);
    }
    // The first line of standard output, or "" after two seconds.
    std::string FirstLine()
    {
        std::string line;
        char c;
        pollfd p {out_, POLLIN, 0};
        while (poll(&p, 1, 2000) > 0 && read(out_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }
    void Signal(int sig) const { kill(pid_, sig); }
    // Ends the process with SIGTERM and returns its exit status.
    int Terminate()
    {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int Wait()
    {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

class Pty {
public:
    explicit Pty(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        termios tio {};
        if (fd_ >= 0 && tcgetattr(fd_, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(fd_, TCSANOW, &tio);
        }
    }
    ~Pty()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    // Sends a request and returns the packets decoded within `waitMs`.
    std::vector<Bytes> Ask(const Bytes& request, int waitMs = 300)
    {
        const Bytes frame = Frame(request);
        EXPECT_EQ(write(fd_, frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
        MasterDecoder master;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        while (master.packets.empty() && std::chrono::steady_clock::now() < end) {
            pollfd p {fd_, POLLIN, 0};
            if (poll(&p, 1, 20) > 0) {
                uint8_t buffer[256];
                const ssize_t n = read(fd_, buffer, sizeof buffer);
                if (n > 0)
                    master.Feed(std::span<const uint8_t>(buffer, static_cast<size_t>(n)));
            }
        }
        return master.packets;
    }

private:
    int fd_;
};

fs::path TempDir()
{
    char pattern[] = "/tmp/karvel-sim-test-XXXXXX";
    return fs::path(mkdtemp(pattern));
}

TEST(SimProgram, AnswersFramedRequestsOnItsPseudoTerminal)
{
    const fs::path dir = TempDir();
    const std::string link = (dir / "dosdevices" / "com1").string();
    const std::string record = (dir / "record.jsonl").string();
    SimProcess sim({"--terminal", "5:KR200:Пшеница", "--terminal", "6:KR100:Ячмень:20:1",
                    "--cycle-ms", "200", "--delay-ms", "2", "--link", link, "--record", record,
                    "--record-ms", "50"});
    const std::string first = sim.FirstLine();
    ASSERT_EQ(first.rfind("pty /dev/", 0), 0u) << first;
    const std::string path = first.substr(4);
    EXPECT_EQ(fs::read_symlink(link).string(), path);

    Pty line(link);
    ASSERT_TRUE(line.IsOpen());
    auto answer = line.Ask({5, 0xC3});
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(answer[0].size(), 6u);
    EXPECT_EQ(answer[0][0], 5);
    EXPECT_EQ(answer[0][1], 0xC3);
    EXPECT_EQ(answer[0][5] & 0x07, 2);

    answer = line.Ask({6, 0xC5});
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(answer[0].size(), 3u) << "KR-100: eight outputs in one byte";
    EXPECT_TRUE(line.Ask({7, 0xC3}, 100).empty()) << "nobody has network number 7";

    // Stopped, the total stands still: two readings a cycle and more apart agree.
    EXPECT_EQ(line.Ask({6, 0xDF, 0}), (std::vector<Bytes> {{6, 0xDF}}));
    const auto c1 = line.Ask({6, 0xC8, 1});
    usleep(300'000); // time must pass here: a running total would have moved by now
    EXPECT_EQ(line.Ask({6, 0xC8, 1}), c1);
    EXPECT_EQ(line.Ask({6, 0xBF}), (std::vector<Bytes> {{6, 0xBF, 0x08}}));

    EXPECT_EQ(sim.Terminate(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "the link goes with the simulator";
    std::ifstream in(record);
    std::string l5, l6;
    std::getline(in, l5);
    std::getline(in, l6);
    EXPECT_NE(l5.find("\"net\":5,\"model\":\"KR200\",\"product\":\"Пшеница\",\"decimals\":2"),
              std::string::npos)
        << l5;
    EXPECT_NE(l6.find("\"net\":6"), std::string::npos) << l6;
    EXPECT_NE(l6.find("\"running\":false"), std::string::npos) << l6;
    EXPECT_GT(l5.find("\"n\":"), 0u);
    fs::remove_all(dir);
}

TEST(SimProgram, TerminalsAreSilencedAndBroughtBackAtRunTime)
{
    const fs::path dir = TempDir();
    const std::string control = (dir / "sim.ctl").string();
    SimProcess sim(
        {"--terminals", "3,4", "--signal-nets", "4", "--control", control, "--delay-ms", "1"});
    const std::string first = sim.FirstLine();
    ASSERT_EQ(first.rfind("pty ", 0), 0u) << first;
    Pty line(first.substr(4));
    ASSERT_EQ(line.Ask({3, 0xC3}).size(), 1u);

    {
        std::ofstream(control) << "silence 3\n";
    }
    EXPECT_TRUE(Eventually([&] { return line.Ask({3, 0xC3}, 200).empty(); }));
    EXPECT_EQ(line.Ask({4, 0xC3}).size(), 1u);
    {
        std::ofstream(control) << "unsilence 3\n";
    }
    EXPECT_TRUE(Eventually([&] { return line.Ask({3, 0xC3}).size() == 1u; }));

    sim.Signal(SIGUSR1);
    EXPECT_TRUE(Eventually([&] { return line.Ask({4, 0xC3}, 200).empty(); }));
    sim.Signal(SIGUSR2);
    EXPECT_TRUE(Eventually([&] { return line.Ask({4, 0xC3}).size() == 1u; }));

    EXPECT_EQ(sim.Terminate(), 0);
    EXPECT_FALSE(fs::exists(control)) << "the control pipe goes with the simulator";
    fs::remove_all(dir);
}

TEST(SimProgram, ExclusiveUseEndsWithTheMastersClose)
{
    // A master that opened the port for exclusive use and went without clearing it must
    // not leave the pseudo-terminal closed to everybody else.
    SimProcess sim({"--terminals", "3"});
    const std::string first = sim.FirstLine();
    ASSERT_EQ(first.rfind("pty ", 0), 0u) << first;
    const std::string path = first.substr(4);
    {
        Pty master(path);
        ASSERT_EQ(ioctl(master.Fd(), TIOCEXCL), 0);
        int exclusive = 0;
        ASSERT_EQ(ioctl(master.Fd(), TIOCGEXCL, &exclusive), 0);
        ASSERT_EQ(exclusive, 1);
    }
    // The simulator clears the exclusive use once it sees the master's close (root may
    // open an exclusive tty anyway, so the flag itself is what is waited for).
    std::unique_ptr<Pty> again;
    const auto exclusiveCleared = [&] {
        again = std::make_unique<Pty>(path);
        int exclusive = 1;
        return again->IsOpen() && ioctl(again->Fd(), TIOCGEXCL, &exclusive) == 0 && exclusive == 0;
    };
    ASSERT_TRUE(Eventually(exclusiveCleared));
    EXPECT_EQ(again->Ask({3, 0xC3}).size(), 1u);
    EXPECT_EQ(sim.Terminate(), 0);
}

TEST(SimProgram, AnswersOnAGivenSerialDevice)
{
    // The far end of a pseudo-terminal pair stands in for the wire of a serial device.
    const int wire = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(wire, 0);
    ASSERT_EQ(grantpt(wire), 0);
    ASSERT_EQ(unlockpt(wire), 0);
    const std::string device = ptsname(wire);
    SimProcess sim({"--device", device, "--baud", "9600", "--terminal", "9:KR100:Соль"});
    EXPECT_EQ(sim.FirstLine(), "device " + device);
    const Bytes frame = Frame({9, 0xBF});
    ASSERT_EQ(write(wire, frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
    MasterDecoder master;
    for (int i = 0; i < 25 && master.packets.empty(); ++i) {
        pollfd p {wire, POLLIN, 0};
        uint8_t buffer[64];
        if (poll(&p, 1, 20) > 0) {
            const ssize_t n = read(wire, buffer, sizeof buffer);
            if (n > 0)
                master.Feed(std::span<const uint8_t>(buffer, static_cast<size_t>(n)));
        }
    }
    ASSERT_EQ(master.packets.size(), 1u);
    EXPECT_EQ(master.packets[0].size(), 3u);
    EXPECT_EQ(master.packets[0][1], 0xBF);
    EXPECT_EQ(sim.Terminate(), 0);
    close(wire);
}

TEST(SimProgram, HelpAndBadCommandLines)
{
    SimProcess help({"--help"});
    EXPECT_EQ(help.FirstLine().rfind("karvel-sim", 0), 0u);
    EXPECT_EQ(help.Wait(), 0);
    SimProcess bad({"--terminal", "5:KR300:x"});
    EXPECT_EQ(bad.Wait(), 2);
}

} // namespace

#pragma once
// A pseudo-terminal pair standing in for a serial line, a temporary XDG_CONFIG_HOME with
// the user's port links, and helpers that run the Qt event loop of the test's main thread.

#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace karvel::test {

// The master end plays the far side of the line; the port opens the slave end.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    int Master() const { return master_; }
    // Closes the master end now (the line hangs up); the destructor then leaves it alone.
    void HangUp();
    const std::string& SlavePath() const { return slave_; }
    void Send(const std::vector<uint8_t>& bytes) const;
    // Whatever the port wrote, collected until `count` bytes came or `waitMs` passed.
    std::vector<uint8_t> Receive(size_t count, int waitMs) const;

private:
    int master_ = -1;
    std::string slave_;
};

// Points XDG_CONFIG_HOME at a fresh directory for the lifetime of the object.
class PortLinks {
public:
    PortLinks();
    ~PortLinks();
    // "$XDG_CONFIG_HOME/Vistam/dosdevices/com<number>" -> target
    void Link(int number, const std::string& target) const;
    std::string Path(const std::string& relative) const;

private:
    QTemporaryDir dir_;
    QByteArray previous_;
    bool hadPrevious_ = false;
};

// Runs the main thread's event loop until `done` holds or `ms` pass; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, int ms = 3000);
// Runs the event loop for `ms`.
void PumpFor(int ms);

} // namespace karvel::test

#pragma once
// Puts a slave's answers on a pty at line speed, as the simulator does: a request takes
// its bytes' time on the wire, the answer starts when the request has ended and its bytes
// follow one byte time apart. Sits between the pty and the slave's own socket.

#include <atomic>
#include <thread>

namespace karvel::peer {

class TPacer {
public:
    // `lineFd`: the pty's far end; `slaveFd`: the socket the slave reads and writes.
    TPacer(int lineFd, int slaveFd, int baud);
    ~TPacer();
    TPacer(const TPacer&) = delete;
    TPacer& operator=(const TPacer&) = delete;

private:
    void Run();

    int lineFd_;
    int slaveFd_;
    long byteUs_;
    std::atomic<bool> stop_ {false};
    std::thread thread_;
};

} // namespace karvel::peer

#include "peer_pacer.h"

#include "peer_result.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <deque>

namespace karvel::peer {

namespace {

int64_t NowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

TPacer::TPacer(int lineFd, int slaveFd, int baud)
    : lineFd_(lineFd), slaveFd_(slaveFd), byteUs_(ByteMicros(baud)), thread_([this] { Run(); })
{ }

TPacer::~TPacer()
{
    stop_ = true;
    thread_.join();
}

void TPacer::Run()
{
    struct Timed {
        int64_t atUs;
        uint8_t byte;
    };
    std::deque<Timed> out;
    int64_t requestEndUs = 0;
    int64_t lineFreeUs = 0;
    uint8_t buffer[512];
    while (!stop_) {
        const int64_t now = NowUs();
        int timeoutMs = 20;
        if (!out.empty())
            timeoutMs =
                static_cast<int>(std::max<int64_t>(0, (out.front().atUs - now + 999) / 1000));
        pollfd fds[2] = {{lineFd_, POLLIN, 0}, {slaveFd_, POLLIN, 0}};
        // Sub-millisecond waits for the next byte: poll's resolution is a millisecond.
        if (!out.empty() && out.front().atUs - now < 1000) {
            if (out.front().atUs > now)
                usleep(static_cast<useconds_t>(out.front().atUs - now));
            timeoutMs = 0;
        }
        if (poll(fds, 2, timeoutMs) < 0)
            continue;
        const int64_t t = NowUs();
        if (fds[0].revents & POLLIN) {
            const ssize_t n = read(lineFd_, buffer, sizeof buffer);
            if (n > 0) {
                requestEndUs = t + n * byteUs_;
                if (write(slaveFd_, buffer, static_cast<size_t>(n)) != n)
                    return;
            }
        }
        if (fds[1].revents & POLLIN) {
            const ssize_t n = read(slaveFd_, buffer, sizeof buffer);
            if (n <= 0)
                return;
            int64_t at = std::max({requestEndUs, lineFreeUs, t});
            for (ssize_t i = 0; i < n; ++i, at += byteUs_)
                out.push_back({at, buffer[i]});
            lineFreeUs = at;
        }
        const int64_t due = NowUs();
        while (!out.empty() && out.front().atUs <= due) {
            if (write(lineFd_, &out.front().byte, 1) != 1)
                return;
            out.pop_front();
        }
    }
}

} // namespace karvel::peer

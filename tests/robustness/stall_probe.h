#pragma once
// How long the window thread was kept from its event loop: a timer asks to run every
// 5 ms and notes the longest gap between two runs. A synchronous wait for a server
// shows as a gap as long as the wait; polling steps wait behind the same loop.

#include <QElapsedTimer>
#include <QTimer>

namespace karvel::robust {

class TStallProbe {
public:
    TStallProbe()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.elapsed();
            longestMs_ = std::max(longestMs_, now - lastMs_);
            lastMs_ = now;
        });
    }
    void Start()
    {
        clock_.start();
        lastMs_ = 0;
        longestMs_ = 0;
        timer_.start();
    }
    // The longest gap since Start, in ms (5 when nothing held the loop up).
    qint64 LongestMs() const { return longestMs_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 lastMs_ = 0;
    qint64 longestMs_ = 0;
};

} // namespace karvel::robust

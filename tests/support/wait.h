#pragma once
// Runs the event loop until a condition holds or the time is up, sleeping in between
// (a test or benchmark must not burn the CPU the program under test needs).

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace karvel::test {

template <typename Predicate> bool WaitUntil(Predicate done, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

inline void RunFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace karvel::test

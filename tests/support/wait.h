#pragma once
// Runs the event loop until a condition holds or the time is up.

#include <QCoreApplication>
#include <QElapsedTimer>

namespace karvel::test {

template <typename Predicate>
bool WaitUntil(Predicate done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

inline void RunFor(int ms)
{
    WaitUntil([] { return false; }, ms);
}

} // namespace karvel::test

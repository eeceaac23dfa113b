#pragma once
// Waiting in the benches: a real event loop that sleeps between events. A loop of our own
// around processEvents() would keep a core busy, taking it from the threads being measured,
// and would never delete what deleteLater released, which would look like a leak.
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <functional>

// Runs the event loop until `condition` holds or `ms` pass; whether it holds.
inline bool waitFor(const std::function<bool()> &condition, int ms)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    if (!condition()) {
        check.start(10);
        loop.exec();
    }
    return condition();
}

inline void spin(int ms)
{
    waitFor([] { return false; }, ms);
}

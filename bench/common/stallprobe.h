#pragma once
// The largest lateness of a short timer on the thread that creates it: how long that thread's
// event loop went without turning.
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

class StallProbe
{
public:
    static constexpr int IntervalMs = 2;

    StallProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(IntervalMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longestMs = std::max(m_longestMs, (now - m_last) / 1e6 - IntervalMs);
            m_last = now;
        });
        m_clock.start();
        m_timer.start();
    }
    void reset()
    {
        m_longestMs = 0;
        m_last = m_clock.nsecsElapsed();
    }
    double longestMs() const { return m_longestMs; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    double m_longestMs = 0;
};

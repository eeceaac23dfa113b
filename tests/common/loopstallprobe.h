#pragma once
// How long the current thread's event loop went without turning while the probe lived: the
// largest lateness of a 10 ms timer. A call that blocks the thread for a second shows up as
// a stall of about a second; an event loop that keeps turning shows only scheduling noise.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

class LoopStallProbe : public QObject
{
public:
    static constexpr int IntervalMs = 10;

    LoopStallProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(IntervalMs);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longestNs = std::max(m_longestNs, now - m_lastNs - IntervalMs * 1000000LL);
            m_lastNs = now;
        });
        m_clock.start();
        m_timer.start();
    }

    double longestStallMsExact() const { return double(m_longestNs) / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastNs = 0;
    qint64 m_longestNs = 0;
};

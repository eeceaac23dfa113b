#include "tileframeclock.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>

#include <cmath>
#include <utility>

namespace {
// A window frame that never comes (the window was hidden meanwhile) holds nothing up longer.
constexpr int kLostFrameTicks = 4;
} // namespace

TileFrameClock *TileFrameClock::of(QQuickWindow *window)
{
    if (!window)
        return nullptr;
    if (auto *clock = window->findChild<TileFrameClock *>(QString(), Qt::FindDirectChildrenOnly))
        return clock;
    return new TileFrameClock(window);
}

TileFrameClock::TileFrameClock(QQuickWindow *window) : QObject(window), m_timer(this)
{
    int interval = MinIntervalMs;
    if (const QScreen *screen = window->screen(); screen && screen->refreshRate() > 1)
        interval = qMax(interval, int(std::ceil(1000.0 / screen->refreshRate())));
    m_timer.setInterval(interval);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TileFrameClock::tick);
    // Emitted on the render thread: delivered here, after the frame is on screen.
    connect(
        window, &QQuickWindow::frameSwapped, this, [this] { m_frameInFlight = false; },
        Qt::QueuedConnection);
}

void TileFrameClock::request(QQuickItem *item)
{
    if (!m_pending.contains(item))
        m_pending.append(item);
    if (m_timer.isActive())
        return;
    // After a quiet spell the first frame goes at once; the ones that follow keep the pace.
    m_timer.start();
    if (!m_frameInFlight)
        updateItems();
}

void TileFrameClock::tick()
{
    if (m_pending.isEmpty()) {
        m_timer.stop();
        return;
    }
    if (m_frameInFlight && m_sinceRequest.elapsed() < kLostFrameTicks * m_timer.interval())
        return;
    updateItems();
}

void TileFrameClock::updateItems()
{
    const QList<QPointer<QQuickItem>> pending = std::exchange(m_pending, {});
    for (const QPointer<QQuickItem> &item : pending) {
        if (item)
            item->update();
    }
    m_frameInFlight = true;
    m_sinceRequest.start();
    ++m_ticks;
}

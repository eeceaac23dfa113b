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
    if (const QScreen *screen = window->screen(); screen && screen->refreshRate() > 1)
        m_intervalMs = qMax(m_intervalMs, int(std::ceil(1000.0 / screen->refreshRate())));
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TileFrameClock::tryUpdate);
    // Emitted on the render thread: delivered here, after the frame is on screen.
    connect(
        window, &QQuickWindow::frameSwapped, this,
        [this] {
            m_frameInFlight = false;
            tryUpdate();
        },
        Qt::QueuedConnection);
}

void TileFrameClock::request(QQuickItem *item)
{
    if (!m_pending.contains(item))
        m_pending.append(item);
    if (!m_timer.isActive())
        tryUpdate();
}

void TileFrameClock::tryUpdate()
{
    if (m_pending.isEmpty())
        return;
    const int interval = m_intervalMs;
    const qint64 since = m_sinceRequest.isValid() ? m_sinceRequest.elapsed() : interval;
    // The window's frame comes with its swap; one that never comes (the window was hidden
    // meanwhile) holds nothing up longer than a few intervals.
    if (m_frameInFlight && since < kLostFrameTicks * interval) {
        m_timer.start(int(kLostFrameTicks * interval - since));
        return;
    }
    if (since < interval) {
        m_timer.start(int(interval - since));
        return;
    }
    m_timer.stop();
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

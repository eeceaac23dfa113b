#include "tileframeclock.h"

#include <QDeadlineTimer>
#include <QEvent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>

#include <cmath>
#include <utility>

namespace {
// A window frame that never comes (the window was hidden meanwhile) holds nothing up longer.
constexpr int kLostFrameTicks = 4;
// A held window update waits this long at most for the render thread's swap. Frames of a
// loaded machine take 200 ms; only a swap that never comes (the window was hidden meanwhile)
// should end the wait.
constexpr int kLostSwapMs = 1000;
} // namespace

TileFrameClock *TileFrameClock::of(QQuickWindow *window)
{
    if (!window)
        return nullptr;
    if (auto *clock = window->findChild<TileFrameClock *>(QString(), Qt::FindDirectChildrenOnly))
        return clock;
    return new TileFrameClock(window);
}

TileFrameClock::TileFrameClock(QQuickWindow *window)
    : QObject(window), m_timer(this), m_window(window)
{
    if (const QScreen *screen = window->screen(); screen && screen->refreshRate() > 1)
        m_intervalMs = qMax(m_intervalMs, int(std::ceil(1000.0 / screen->refreshRate())));
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TileFrameClock::tryUpdate);
    // Emitted on the render thread (on the GUI thread with a render loop that has none).
    connect(
        window, &QQuickWindow::afterSynchronizing, this,
        [this] {
            m_rendering = true;
            m_syncedAtNs = QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs();
        },
        Qt::DirectConnection);
    connect(
        window, &QQuickWindow::frameSwapped, this,
        [this] {
            if (m_syncedAtNs > 0)
                m_drawMs =
                    (QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs() - m_syncedAtNs) /
                    1000000;
            m_rendering = false;
        },
        Qt::DirectConnection);
    for (auto done : {&QQuickWindow::afterFrameEnd, &QQuickWindow::sceneGraphInvalidated})
        connect(
            window, done, this, [this] { m_rendering = false; }, Qt::DirectConnection);
    // Delivered here after the frame is on screen.
    connect(window, &QQuickWindow::frameSwapped, this, &TileFrameClock::frameDone,
            Qt::QueuedConnection);
    // A sync that changed nothing ends its frame without a swap.
    connect(
        window, &QQuickWindow::afterFrameEnd, this,
        [this] {
            if (m_updateHeld)
                tryUpdate();
        },
        Qt::QueuedConnection);
    window->installEventFilter(this);
}

bool TileFrameClock::renderThreadBusy() const
{
    return m_rendering.load();
}

bool TileFrameClock::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window || event->type() != QEvent::UpdateRequest)
        return false;
    if (!renderThreadBusy())
        return false;
    if (!m_updateHeld) {
        m_updateHeld = true;
        m_heldFor.start();
    }
    if (m_heldFor.elapsed() >= kLostSwapMs) {
        m_updateHeld = false;
        m_rendering = false;
        return false;
    }
    ++m_heldUpdates;
    if (!m_timer.isActive())
        m_timer.start(kLostSwapMs);
    return true;
}

void TileFrameClock::request(QQuickItem *item)
{
    if (!m_pending.contains(item))
        m_pending.append(item);
    if (!m_timer.isActive())
        tryUpdate();
}

void TileFrameClock::frameDone()
{
    m_frameInFlight = false;
    tryUpdate();
}

void TileFrameClock::tryUpdate()
{
    if (m_updateHeld) {
        const qint64 held = m_heldFor.elapsed();
        if (!renderThreadBusy() || held >= kLostSwapMs) {
            m_updateHeld = false;
            m_rendering = false;
            m_window->requestUpdate();
        } else if (m_pending.isEmpty()) {
            m_timer.start(int(kLostSwapMs - held));
            return;
        }
    }
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

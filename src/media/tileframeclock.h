#pragma once
// Paces the video items of one window: an item with a new frame asks for a window frame
// here instead of at once. On a steady tick every item that has one is updated together, and
// only after the window has shown its previous frame: many phones cost one window frame
// per tick, and the GUI thread never waits for a render thread still busy with the last one.
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QQuickItem;
class QQuickWindow;

class TileFrameClock : public QObject
{
    Q_OBJECT

public:
    // Never faster than the phones send (30 frames per second) nor than the display.
    static constexpr int MinIntervalMs = 33;

    // The clock of the window (created with it, on the GUI thread).
    static TileFrameClock *of(QQuickWindow *window);
    // The item's next update comes with the next tick.
    void request(QQuickItem *item);

    int intervalMs() const { return m_timer.interval(); }
    // Items waiting for the next tick.
    bool hasPending() const { return !m_pending.isEmpty(); }
    // Window frames this clock asked for (benchmarks divide by phones).
    quint64 ticks() const { return m_ticks; }

private:
    explicit TileFrameClock(QQuickWindow *window);
    void tick();
    void updateItems();

    QTimer m_timer;
    QList<QPointer<QQuickItem>> m_pending;
    bool m_frameInFlight = false;
    QElapsedTimer m_sinceRequest;
    quint64 m_ticks = 0;
};

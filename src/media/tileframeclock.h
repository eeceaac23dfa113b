#pragma once
// Paces the video items of one window: an item with a new frame asks for a window frame
// here instead of at once. Every item that has one is updated together, at most once per
// interval and only after the window has shown its previous frame: many phones cost one
// window frame per interval, and the GUI thread never waits for a render thread still busy
// with the last one. A frame goes as soon as both allow it: when it arrives, when the interval
// has passed, or when the previous window frame is shown, whichever comes last.
// The clock also holds back the window's other update requests (a label that changed) while
// the render thread draws and swaps: Qt Quick would block the GUI thread until that frame is
// done, and input would wait with it.
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <atomic>

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
    // The item is updated with the clock's next window frame.
    void request(QQuickItem *item);

    int intervalMs() const { return m_intervalMs; }
    // Items waiting for the next window frame.
    bool hasPending() const { return !m_pending.isEmpty(); }
    // Window frames this clock asked for (benchmarks divide by phones).
    quint64 ticks() const { return m_ticks; }
    // Window update requests held back until the render thread was free (benchmarks).
    quint64 heldUpdates() const { return m_heldUpdates; }
    bool holdsUpdate() const { return m_updateHeld; }
    // Render thread: how long the last window frame took from the end of its sync to its swap.
    qint64 drawMs() const { return m_drawMs.load(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit TileFrameClock(QQuickWindow *window);
    // Updates the pending items if the pace and the window allow it, else arms the timer for
    // the moment the pace will.
    void tryUpdate();
    void updateItems();
    // GUI thread: the window's frame is on screen (or will never come).
    void frameDone();
    bool renderThreadBusy() const;

    int m_intervalMs = MinIntervalMs;
    QTimer m_timer; // wakes the clock when the pace or a lost window frame allows an update
    QList<QPointer<QQuickItem>> m_pending;
    bool m_frameInFlight = false;
    QElapsedTimer m_sinceRequest;
    quint64 m_ticks = 0;

    QQuickWindow *m_window = nullptr;
    // Set on the render thread from the end of a sync until that frame is swapped.
    std::atomic<bool> m_rendering{false};
    std::atomic<qint64> m_syncedAtNs{0}; // render thread (tests emit its signals too)
    std::atomic<qint64> m_drawMs{0};
    QElapsedTimer m_heldFor; // GUI thread: since an update request was first held back
    bool m_updateHeld = false;
    quint64 m_heldUpdates = 0;
};

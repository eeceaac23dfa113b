#pragma once
// The newest decoded picture of one phone, handed from the decoder to whichever video
// item shows it. Only the newest frame is kept: a viewer that cannot keep up skips
// frames instead of queueing them. Publishing may happen on any thread; watching viewers
// are told on the feed's own thread, at most once per burst of frames. While nobody
// watches (every tile of the phone hidden or scrolled away) nobody is told anything.
#include "yuvframe.h"

#include <QMutex>
#include <QObject>
#include <QSize>

#include <atomic>
#include <functional>

class VideoFrameFeed : public QObject
{
    Q_OBJECT

public:
    explicit VideoFrameFeed(QObject *parent = nullptr);

    // Any thread.
    void publish(YuvFrame frame);
    // Drops the picture (a session ended); viewers then show black until the next frame.
    void clear();
    // Any thread: the newest frame (invalid when none) and its sequence number, which
    // grows with every publish() and clear(); `publishedAtNs`: when it was published
    // (QDeadlineTimer::current()'s nanoseconds).
    YuvFrame latest(quint64 *sequence = nullptr, qint64 *publishedAtNs = nullptr) const;

    // A viewer tells how long its last new frame took from publishing to the screen (any
    // thread); the pipeline counts it as lag. Forgotten when nothing is shown for a while.
    void reportShowDelay(qint64 ms);
    qint64 showDelayMs() const;

    // A viewer that shows the picture registers while it does (counted; any thread).
    void addWatcher();
    void removeWatcher();
    int watcherCount() const { return m_watchers.load(); }

    // Frames published so far (any thread).
    quint64 publishedCount() const { return m_published.load(); }
    // Called on the publishing thread with every frame, before viewers are told; benchmarks
    // time the pictures with it. An empty function removes it.
    void setObserver(std::function<void(const YuvFrame &)> observer);

signals:
    void frameAvailable();

private:
    void announce();

    mutable QMutex m_mutex;
    YuvFrame m_frame;
    quint64 m_sequence = 0;
    qint64 m_publishedAtNs = 0;
    std::atomic<qint64> m_showDelayMs{0};
    std::atomic<qint64> m_showDelayAtNs{0};
    std::function<void(const YuvFrame &)> m_observer;
    std::atomic_bool m_announcePending{false};
    std::atomic_int m_watchers{0};
    std::atomic<quint64> m_published{0};
};

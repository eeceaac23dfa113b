#include "videoframefeed.h"

#include <QDeadlineTimer>
#include <QMutexLocker>
#include <QThread>
#include <utility>

namespace {
// A delay reported longer ago than this no longer describes the screen (the tile was hidden).
constexpr qint64 kShowDelayValidNs = 500'000'000;

qint64 nowNs()
{
    return QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs();
}
} // namespace

VideoFrameFeed::VideoFrameFeed(QObject *parent) : QObject(parent) {}

void VideoFrameFeed::publish(YuvFrame frame)
{
    if (!frame.isValid())
        return;
    YuvFrame replaced;
    std::function<void(const YuvFrame &)> observer;
    {
        QMutexLocker lock(&m_mutex);
        if (m_observer)
            observer = m_observer;
        replaced = std::exchange(m_frame, frame);
        ++m_sequence;
        m_publishedAtNs = nowNs();
    }
    ++m_published;
    if (observer)
        observer(frame);
    if (m_watchers.load() > 0)
        announce();
    // `replaced` releases its buffers here, outside the lock.
}

void VideoFrameFeed::addWatcher()
{
    ++m_watchers;
}

void VideoFrameFeed::removeWatcher()
{
    if (m_watchers.fetch_sub(1) <= 0)
        ++m_watchers; // unbalanced: stay at zero
}

void VideoFrameFeed::setObserver(std::function<void(const YuvFrame &)> observer)
{
    QMutexLocker lock(&m_mutex);
    m_observer = std::move(observer);
}

void VideoFrameFeed::clear()
{
    YuvFrame dropped;
    {
        QMutexLocker lock(&m_mutex);
        dropped = std::exchange(m_frame, YuvFrame());
        ++m_sequence;
    }
    if (m_watchers.load() > 0)
        announce();
}

YuvFrame VideoFrameFeed::latest(quint64 *sequence, qint64 *publishedAtNs) const
{
    QMutexLocker lock(&m_mutex);
    if (sequence)
        *sequence = m_sequence;
    if (publishedAtNs)
        *publishedAtNs = m_publishedAtNs;
    return m_frame;
}

void VideoFrameFeed::reportShowDelay(qint64 ms)
{
    m_showDelayMs = qMax<qint64>(0, ms);
    m_showDelayAtNs = nowNs();
}

qint64 VideoFrameFeed::showDelayMs() const
{
    const qint64 at = m_showDelayAtNs.load();
    return at > 0 && nowNs() - at < kShowDelayValidNs ? m_showDelayMs.load() : 0;
}

void VideoFrameFeed::announce()
{
    // One notice in flight at a time: viewers read the newest frame when it arrives.
    if (m_announcePending.exchange(true))
        return;
    auto notify = [this] {
        m_announcePending = false;
        emit frameAvailable();
    };
    if (QThread::currentThread() == thread())
        notify();
    else
        QMetaObject::invokeMethod(this, notify, Qt::QueuedConnection);
}

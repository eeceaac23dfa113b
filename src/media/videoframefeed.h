#pragma once
// The newest decoded picture of one phone, handed from the decoder to whichever video
// item shows it. Only the newest frame is kept: a viewer that cannot keep up skips
// frames instead of queueing them. Publishing may happen on any thread; viewers are
// told on the feed's own thread, at most once per burst of frames.
#include "yuvfboframe.h"

#include <QMutex>
#include <QObject>
#include <QSize>

#include <atomic>

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
    // grows with every publish() and clear().
    YuvFrame latest(quint64 *sequence = nullptr) const;

    // Size of the view that currently shows the stream; the showing item sets it.
    void setShowSize(const QSize &size);
    QSize showSize() const;

signals:
    void frameAvailable();

private:
    void announce();

    mutable QMutex m_mutex;
    YuvFrame m_frame;
    quint64 m_sequence = 0;
    QSize m_showSize{-1, -1};
    std::atomic_bool m_announcePending{false};
};

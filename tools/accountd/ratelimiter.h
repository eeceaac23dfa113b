#pragma once
#include <QHash>
#include <QList>
#include <QString>

// Counts events (failed logins, mails sent) per key in a sliding window; a key that
// reached the limit waits until its oldest event leaves the window.
class RateLimiter
{
public:
    RateLimiter(int limit, qint64 windowMs);

    // Milliseconds until the key may act again; 0 when it may act now.
    qint64 waitFor(const QString &key, qint64 nowMs);
    void record(const QString &key, qint64 nowMs);
    void clear(const QString &key);

private:
    void dropExpired(QList<qint64> &events, qint64 nowMs) const;
    void sweep(qint64 nowMs);

    int m_limit;
    qint64 m_windowMs;
    int m_recordsSinceSweep = 0;
    QHash<QString, QList<qint64>> m_events;
};

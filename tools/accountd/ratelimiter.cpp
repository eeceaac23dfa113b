#include "ratelimiter.h"

#include <algorithm>

namespace {
// A flood of distinct keys (random emails) must not grow the table without bound.
constexpr int kSweepEvery = 1000;
} // namespace

RateLimiter::RateLimiter(int limit, qint64 windowMs)
    : m_limit(std::max(1, limit)), m_windowMs(windowMs)
{}

void RateLimiter::dropExpired(QList<qint64> &events, qint64 nowMs) const
{
    while (!events.isEmpty() && events.first() <= nowMs - m_windowMs)
        events.removeFirst();
}

qint64 RateLimiter::waitFor(const QString &key, qint64 nowMs)
{
    auto it = m_events.find(key);
    if (it == m_events.end())
        return 0;
    dropExpired(*it, nowMs);
    if (it->size() < m_limit) {
        if (it->isEmpty())
            m_events.erase(it);
        return 0;
    }
    // The oldest event that still counts towards the limit.
    return it->at(it->size() - m_limit) + m_windowMs - nowMs;
}

void RateLimiter::record(const QString &key, qint64 nowMs)
{
    QList<qint64> &events = m_events[key];
    dropExpired(events, nowMs);
    events.append(nowMs);
    if (++m_recordsSinceSweep >= kSweepEvery)
        sweep(nowMs);
}

void RateLimiter::clear(const QString &key)
{
    m_events.remove(key);
}

void RateLimiter::sweep(qint64 nowMs)
{
    m_recordsSinceSweep = 0;
    for (auto it = m_events.begin(); it != m_events.end();) {
        dropExpired(*it, nowMs);
        it = it->isEmpty() ? m_events.erase(it) : std::next(it);
    }
}

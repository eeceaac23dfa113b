#include "loginthrottle.h"

namespace {
constexpr int kSweepEvery = 1000;
}

LoginThrottle::LoginThrottle(const Policy &policy)
    : m_policy(policy), m_perEmail(policy.emailCeiling, policy.windowMs)
{}

qint64 LoginThrottle::waitFor(const QString &email, const QString &address, qint64 nowMs)
{
    const auto emailIt = m_pairs.constFind(email);
    if (emailIt == m_pairs.constEnd())
        return 0;
    const auto it = emailIt->constFind(address);
    if (it == emailIt->constEnd() || nowMs - it->lastMs >= m_policy.windowMs)
        return 0;
    qint64 delay = 0;
    if (it->count > m_policy.freeFailures) {
        const int doublings = std::min(it->count - m_policy.freeFailures - 1, 30);
        delay = std::min(m_policy.firstDelayMs << doublings, m_policy.maxDelayMs);
    }
    const qint64 wait = it->lastMs + delay - nowMs;
    return std::max(wait, m_perEmail.waitFor(email, nowMs));
}

void LoginThrottle::recordFailure(const QString &email, const QString &address, qint64 nowMs)
{
    Failures &failures = m_pairs[email][address];
    if (nowMs - failures.lastMs >= m_policy.windowMs)
        failures.count = 0;
    ++failures.count;
    failures.lastMs = nowMs;
    m_perEmail.record(email, nowMs);
    if (++m_recordsSinceSweep >= kSweepEvery)
        sweep(nowMs);
}

void LoginThrottle::recordSuccess(const QString &email, const QString &address)
{
    const auto it = m_pairs.find(email);
    if (it != m_pairs.end()) {
        it->remove(address);
        if (it->isEmpty())
            m_pairs.erase(it);
    }
}

void LoginThrottle::clearEmail(const QString &email)
{
    m_pairs.remove(email);
    m_perEmail.clear(email);
}

void LoginThrottle::sweep(qint64 nowMs)
{
    m_recordsSinceSweep = 0;
    for (auto emailIt = m_pairs.begin(); emailIt != m_pairs.end();) {
        for (auto it = emailIt->begin(); it != emailIt->end();)
            it = nowMs - it->lastMs >= m_policy.windowMs ? emailIt->erase(it) : std::next(it);
        emailIt = emailIt->isEmpty() ? m_pairs.erase(emailIt) : std::next(emailIt);
    }
}

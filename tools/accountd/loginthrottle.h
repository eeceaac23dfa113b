#pragma once
#include "ratelimiter.h"

#include <QHash>
#include <QString>

// Slows password guessing without locking the owner out: each (email, address) pair
// waits longer after every failure past a few free ones, and once an email collects
// too many failures from everywhere, only addresses without failures may still try.
class LoginThrottle
{
public:
    struct Policy
    {
        int freeFailures = 3;
        qint64 firstDelayMs = 1000;
        qint64 maxDelayMs = 15 * 60 * 1000;
        int emailCeiling = 20;
        qint64 windowMs = 15 * 60 * 1000;
    };

    explicit LoginThrottle(const Policy &policy);

    // Milliseconds until this pair may try again; 0 when it may try now.
    qint64 waitFor(const QString &email, const QString &address, qint64 nowMs);
    void recordFailure(const QString &email, const QString &address, qint64 nowMs);
    void recordSuccess(const QString &email, const QString &address);
    void clearEmail(const QString &email);

private:
    struct Failures
    {
        int count = 0;
        qint64 lastMs = 0;
    };
    void sweep(qint64 nowMs);

    Policy m_policy;
    QHash<QString, QHash<QString, Failures>> m_pairs; // email -> address -> failures
    RateLimiter m_perEmail;
    int m_recordsSinceSweep = 0;
};

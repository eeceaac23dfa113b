#pragma once
#include <QObject>
#include <QThreadPool>
#include <functional>

// Password hashing off the serving thread, with a bounded queue: a flood of logins is
// refused at once instead of piling up memory and latency.
class CryptoPool : public QObject
{
    Q_OBJECT

public:
    CryptoPool(int threads, int maxQueued, QObject *parent = nullptr);
    ~CryptoPool() override;

    // Runs work on a worker and then done on this object's thread; false (and nothing
    // run) when the queue is full.
    bool run(std::function<void()> work, std::function<void()> done);

private:
    QThreadPool m_pool;
    int m_maxPending;
    int m_pending = 0;
};

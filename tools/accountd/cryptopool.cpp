#include "cryptopool.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
// Hashing yields to the thread that parses requests and answers cheap ones.
void lowerThreadPriority()
{
    thread_local bool lowered = false;
    if (!lowered) {
        lowered = true;
        setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), 10);
    }
}
} // namespace

CryptoPool::CryptoPool(int threads, int maxQueued, QObject *parent)
    : QObject(parent), m_maxPending(std::max(1, threads) + std::max(0, maxQueued))
{
    m_pool.setMaxThreadCount(std::max(1, threads));
}

CryptoPool::~CryptoPool()
{
    m_pool.waitForDone();
}

bool CryptoPool::run(std::function<void()> work, std::function<void()> done)
{
    if (m_pending >= m_maxPending)
        return false;
    ++m_pending;
    m_pool.start([this, work = std::move(work), done = std::move(done)]() mutable {
        lowerThreadPriority();
        work();
        QMetaObject::invokeMethod(
            this,
            [this, done = std::move(done)] {
                --m_pending;
                done();
            },
            Qt::QueuedConnection);
    });
    return true;
}

#include "mediathreads.h"

#include <QCoreApplication>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>

#include <vector>

namespace {
constexpr int kJoinWaitMs = 3000;
struct Registry
{
    QMutex mutex;
    std::vector<QThread *> threads;
    std::vector<int> sessions;
    bool shutDown = false;
};

Registry &registry()
{
    static Registry *const instance = new Registry; // outlives every session
    return *instance;
}

// Post routine of the application object: what is still queued on the threads (sessions
// being torn down) runs, then the threads end.
void joinThreads()
{
    Registry &r = registry();
    std::vector<QThread *> threads;
    {
        QMutexLocker locker(&r.mutex);
        threads.swap(r.threads);
        r.sessions.clear();
        r.shutDown = true;
    }
    for (QThread *thread : threads)
        thread->quit();
    for (QThread *thread : threads) {
        // One still stuck in a decode after the wait is left to the process exit.
        if (thread->wait(kJoinWaitMs))
            delete thread;
    }
}

void startThreads(Registry &r)
{
    const int count = qMax(1, QThread::idealThreadCount());
    for (int i = 0; i < count; ++i) {
        auto *thread = new QThread;
        thread->setObjectName(QStringLiteral("MediaThread%1").arg(i + 1));
        thread->start();
        r.threads.push_back(thread);
        r.sessions.push_back(0);
    }
    if (QCoreApplication::instance())
        qAddPostRoutine(joinThreads);
}
} // namespace

QThread *MediaThreads::acquire()
{
    Registry &r = registry();
    QMutexLocker locker(&r.mutex);
    if (r.threads.empty()) {
        if (r.shutDown)
            return nullptr;
        startThreads(r);
    }
    size_t least = 0;
    for (size_t i = 1; i < r.threads.size(); ++i) {
        if (r.sessions[i] < r.sessions[least])
            least = i;
    }
    ++r.sessions[least];
    return r.threads[least];
}

void MediaThreads::release(QThread *thread)
{
    Registry &r = registry();
    QMutexLocker locker(&r.mutex);
    for (size_t i = 0; i < r.threads.size(); ++i) {
        if (r.threads[i] == thread && r.sessions[i] > 0)
            --r.sessions[i];
    }
}

int MediaThreads::threadCount()
{
    Registry &r = registry();
    QMutexLocker locker(&r.mutex);
    return int(r.threads.size());
}

int MediaThreads::sessionsOn(int threadIndex)
{
    Registry &r = registry();
    QMutexLocker locker(&r.mutex);
    if (threadIndex < 0 || size_t(threadIndex) >= r.sessions.size())
        return 0;
    return r.sessions[size_t(threadIndex)];
}

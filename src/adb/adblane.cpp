#include "adblane.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QThreadPool>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <limits>

namespace {
struct Lane
{
    std::deque<std::function<void()>> tasks;
    bool draining = false;
};

struct Lanes
{
    QMutex mutex;
    std::condition_variable_any idle; // sees the mutex given up, unlike a QWaitCondition
    QHash<QString, Lane> byKey;
};

// Never destroyed: a pool thread may still be finishing a lane while the process exits.
Lanes *lanes()
{
    static Lanes *const all = new Lanes;
    return all;
}

// A thread for every lane that has work, apart from the shared adb pool: a phone whose
// adb hangs holds only its own lane until the call's time-out, never another phone's.
// Lanes are as many as phones, and their threads end when idle.
QThreadPool *lanePool()
{
    static QThreadPool *const pool = [] {
        auto *threads = new QThreadPool; // lives until the process ends
        threads->setMaxThreadCount(std::numeric_limits<int>::max());
        return threads;
    }();
    return pool;
}

// One pool thread works through a lane until it is empty; a task queued meanwhile is
// picked up by the same thread, so the order holds without a thread per phone.
void drain(const QString &key)
{
    Lanes *all = lanes();
    for (;;) {
        std::function<void()> task;
        {
            QMutexLocker locker(&all->mutex);
            auto lane = all->byKey.find(key);
            if (lane == all->byKey.end())
                return;
            if (lane->tasks.empty()) {
                all->byKey.erase(lane);
                all->idle.notify_all();
                return;
            }
            task = std::move(lane->tasks.front());
            lane->tasks.pop_front();
        }
        task();
    }
}
} // namespace

void AdbLane::post(const QString &key, std::function<void()> task)
{
    Lanes *all = lanes();
    {
        QMutexLocker locker(&all->mutex);
        Lane &lane = all->byKey[key];
        lane.tasks.push_back(std::move(task));
        if (lane.draining)
            return;
        lane.draining = true;
    }
    lanePool()->start([key] { drain(key); });
}

bool AdbLane::waitForIdle(const QString &key, int timeoutMs)
{
    Lanes *all = lanes();
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker locker(&all->mutex);
    while (all->byKey.contains(key)) {
        if (deadline.isForever()) {
            all->idle.wait(all->mutex);
            continue;
        }
        const auto left = std::chrono::milliseconds(deadline.remainingTime());
        if (all->idle.wait_for(all->mutex, left) == std::cv_status::timeout)
            return !all->byKey.contains(key);
    }
    return true;
}

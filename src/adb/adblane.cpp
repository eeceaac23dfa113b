#include "adblane.h"

#include "adbrunner.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QThreadPool>
#include <QWaitCondition>

#include <deque>

namespace {
struct Lane
{
    std::deque<std::function<void()>> tasks;
    bool draining = false;
};

struct Lanes
{
    QMutex mutex;
    QWaitCondition idle;
    QHash<QString, Lane> byKey;
};

// Never destroyed: a pool thread may still be finishing a lane while the process exits.
Lanes *lanes()
{
    static Lanes *const all = new Lanes;
    return all;
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
                all->idle.wakeAll();
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
    ADBRunner::workPool()->start([key] { drain(key); });
}

bool AdbLane::waitForIdle(const QString &key, int timeoutMs)
{
    Lanes *all = lanes();
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker locker(&all->mutex);
    while (all->byKey.contains(key)) {
        if (!all->idle.wait(&all->mutex, deadline))
            return !all->byKey.contains(key);
    }
    return true;
}

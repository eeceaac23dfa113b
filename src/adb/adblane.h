#pragma once
// adb work for one phone, run on a thread of its own strictly one task after another in
// the order queued. A session's stop (pkill, tunnel removal) therefore reaches the phone
// before the push of the next session, although neither waits on the GUI thread.
#include <QFutureWatcher>
#include <QObject>
#include <QPromise>
#include <QString>

#include <functional>
#include <memory>
#include <utility>

namespace AdbLane {

// Queues `task` behind everything queued before under the same key (a phone's serial).
// Tasks of different keys run side by side.
void post(const QString &key, std::function<void()> task);

// Blocks until no task of the key is queued or running, at most `timeoutMs`; true when idle.
// For tests and shutdown only.
bool waitForIdle(const QString &key, int timeoutMs);

// Runs `work` in the key's lane and hands its result to `done` on `context`'s thread. Nothing
// is delivered when `context` is destroyed first; the work itself still runs.
template<typename T, typename Done>
void run(const QString &key, QObject *context, std::function<T()> work, Done done)
{
    auto promise = std::make_shared<QPromise<T>>();
    auto *watcher = new QFutureWatcher<T>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, watcher,
                     [watcher, done = std::move(done)]() mutable {
                         watcher->deleteLater();
                         done(watcher->result());
                     });
    watcher->setFuture(promise->future());
    post(key, [promise, work = std::move(work)] {
        promise->start();
        promise->addResult(work());
        promise->finish();
    });
}

} // namespace AdbLane

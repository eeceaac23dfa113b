#pragma once
// Registrations of running phonesim processes under HOME/run/procs/<pid>.json. Every
// adb invocation registers itself while it runs; long-running ones (phone-side servers,
// forward helpers) are found here by the commands that must end them. A registration
// whose process vanished without unregistering (SIGKILL) is reaped by the next caller.
#include <QJsonObject>
#include <QStringList>
#include <QVector>

struct ProcessEntry
{
    qint64 pid = 0;
    quint64 startTicks = 0; // from /proc, guards against a reused pid
    QString kind;           // "call", "server" or "forward"
    qint64 seq = 0;         // order in which invocations started
    QStringList args;       // arguments as received
    QString phone;          // the phone's own serial
    QString transport;      // serial the call was addressed to
    QString cmdline;        // the phone-side command line (servers)
    int port = 0;           // local port (forward helpers; servers listening in forward mode)
    QString socket;         // phone-side socket a server listens on ("localabstract:...")
    qint64 startMs = 0;

    QJsonObject toJson() const;
    static ProcessEntry fromJson(const QJsonObject &json);
};

namespace ProcessRegistry {

// 0 when the process is gone or a zombie.
quint64 startTicks(qint64 pid);
bool isAlive(const ProcessEntry &entry);

// The following need the fleet lock.
qint64 nextSeq(const QString &home);
bool write(const QString &home, const ProcessEntry &entry);
void remove(const QString &home, qint64 pid);
// Live registrations; dead ones are removed and, for adb calls, logged as killed.
QVector<ProcessEntry> live(const QString &home);

// Lock-free check used by long-running processes to notice they were deregistered.
bool isRegistered(const QString &home, qint64 pid);

// Without the lock: signal each process, wait up to graceMs for all to end, then SIGKILL
// the rest.
void end(const QVector<ProcessEntry> &entries, int signal, int graceMs = 3000);

} // namespace ProcessRegistry

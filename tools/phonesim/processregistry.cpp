#include "processregistry.h"

#include "calllog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QThread>
#include <csignal>

namespace {

QString procsDir(const QString &home)
{
    return home + QStringLiteral("/run/procs");
}

QString entryPath(const QString &home, qint64 pid)
{
    return procsDir(home) + QStringLiteral("/%1.json").arg(pid);
}

} // namespace

QJsonObject ProcessEntry::toJson() const
{
    return {{"pid", double(pid)},
            {"startTicks", QString::number(startTicks)},
            {"kind", kind},
            {"seq", double(seq)},
            {"args", QJsonArray::fromStringList(args)},
            {"phone", phone},
            {"transport", transport},
            {"cmdline", cmdline},
            {"port", port},
            {"socket", socket},
            {"startMs", double(startMs)}};
}

ProcessEntry ProcessEntry::fromJson(const QJsonObject &json)
{
    ProcessEntry entry;
    entry.pid = qint64(json.value("pid").toDouble());
    entry.startTicks = json.value("startTicks").toString().toULongLong();
    entry.kind = json.value("kind").toString();
    entry.seq = qint64(json.value("seq").toDouble());
    for (const QJsonValue &arg : json.value("args").toArray())
        entry.args << arg.toString();
    entry.phone = json.value("phone").toString();
    entry.transport = json.value("transport").toString();
    entry.cmdline = json.value("cmdline").toString();
    entry.port = json.value("port").toInt();
    entry.socket = json.value("socket").toString();
    entry.startMs = qint64(json.value("startMs").toDouble());
    return entry;
}

quint64 ProcessRegistry::startTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // The command name may hold spaces and parentheses; fields resume after the last ')'.
    const int close = text.lastIndexOf(')');
    if (close < 0)
        return 0;
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    if (fields.size() < 20 || fields.at(0) == "Z" || fields.at(0) == "X")
        return 0;
    return fields.at(19).toULongLong();
}

bool ProcessRegistry::isAlive(const ProcessEntry &entry)
{
    const quint64 ticks = startTicks(entry.pid);
    return ticks != 0 && ticks == entry.startTicks;
}

qint64 ProcessRegistry::nextSeq(const QString &home)
{
    QDir().mkpath(home + QStringLiteral("/run"));
    QFile file(home + QStringLiteral("/run/seq"));
    qint64 seq = 0;
    if (file.open(QIODevice::ReadOnly))
        seq = file.readAll().trimmed().toLongLong();
    file.close();
    ++seq;
    QSaveFile out(file.fileName());
    if (out.open(QIODevice::WriteOnly)) {
        out.write(QByteArray::number(seq));
        out.commit();
    }
    return seq;
}

bool ProcessRegistry::write(const QString &home, const ProcessEntry &entry)
{
    QDir().mkpath(procsDir(home));
    QSaveFile file(entryPath(home, entry.pid));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(entry.toJson()).toJson(QJsonDocument::Compact));
    return file.commit();
}

void ProcessRegistry::remove(const QString &home, qint64 pid)
{
    QFile::remove(entryPath(home, pid));
}

bool ProcessRegistry::isRegistered(const QString &home, qint64 pid)
{
    return QFile::exists(entryPath(home, pid));
}

QVector<ProcessEntry> ProcessRegistry::live(const QString &home)
{
    QVector<ProcessEntry> entries;
    const QDir dir(procsDir(home));
    const QStringList names = dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const ProcessEntry entry =
            ProcessEntry::fromJson(QJsonDocument::fromJson(file.readAll()).object());
        file.close();
        if (isAlive(entry)) {
            entries.append(entry);
            continue;
        }
        // Gone without unregistering: it was killed (SIGKILL, time-out of the caller).
        if (entry.kind != QLatin1String("forward") && entry.seq > 0)
            CallLog::append(home, entry, std::nullopt, {{"killed", true}});
        QFile::remove(file.fileName());
    }
    std::sort(entries.begin(), entries.end(),
              [](const ProcessEntry &a, const ProcessEntry &b) { return a.seq < b.seq; });
    return entries;
}

void ProcessRegistry::end(const QVector<ProcessEntry> &entries, int signal, int graceMs)
{
    QVector<ProcessEntry> pending;
    for (const ProcessEntry &entry : entries) {
        if (entry.pid != qint64(::getpid()) && isAlive(entry) &&
            ::kill(pid_t(entry.pid), signal) == 0)
            pending.append(entry);
    }
    const qint64 deadline = QDateTime::currentMSecsSinceEpoch() + graceMs;
    while (!pending.isEmpty() && QDateTime::currentMSecsSinceEpoch() < deadline) {
        QThread::msleep(5);
        pending.erase(std::remove_if(pending.begin(), pending.end(),
                                     [](const ProcessEntry &e) { return !isAlive(e); }),
                      pending.end());
    }
    for (const ProcessEntry &entry : pending) {
        if (isAlive(entry))
            ::kill(pid_t(entry.pid), SIGKILL);
    }
}

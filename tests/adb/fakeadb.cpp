#include "fakeadb.h"

#include "adbrunner.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

namespace {
// Calls are logged as arguments each ended by \037, one record ended by \036; a rule's file
// name is the md5 of the arguments in the same form.
const char kScript[] = R"sh(#!/bin/sh
here=$(dirname "$0")
record=$(for a in "$@"; do printf '%s\037' "$a"; done)
printf '%s\036' "$record" >> "$here/calls.log"
key=$(printf '%s' "$record" | md5sum | cut -c1-32)
rule="$here/rules/$key"
[ -e "$rule.code" ] || rule="$here/rules/default"
[ -e "$rule.sleep" ] && sleep "$(cat "$rule.sleep")"
[ -e "$rule.out" ] && cat "$rule.out"
[ -e "$rule.err" ] && cat "$rule.err" >&2
[ -e "$rule.signal" ] && kill -"$(cat "$rule.signal")" $$
exit "$(cat "$rule.code" 2>/dev/null || echo 0)"
)sh";

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(content) != content.size())
        qFatal("fake adb: cannot write %s", qPrintable(path));
}
} // namespace

FakeAdb::FakeAdb()
{
    const QString script = m_dir.filePath("adb");
    if (!QDir(m_dir.path()).mkpath("rules"))
        qFatal("fake adb: no temporary folder");
    writeFile(script, kScript);
    QFile(script).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    respondByDefault({});
    ADBRunner::setExecutablePathForTesting(script);
}

FakeAdb::~FakeAdb()
{
    ADBRunner::setExecutablePathForTesting(QString());
}

void FakeAdb::respond(const QStringList &args, const Reply &reply)
{
    QByteArray record;
    for (const QString &arg : args)
        record += arg.toUtf8() + '\037';
    writeRule(QCryptographicHash::hash(record, QCryptographicHash::Md5).toHex(), reply);
}

void FakeAdb::writeRule(const QString &name, const Reply &reply)
{
    const QString base = m_dir.filePath("rules/" + name);
    const QList<QPair<const char *, QByteArray>> parts{
        {".out", reply.out},
        {".err", reply.err},
        {".sleep", reply.sleepSeconds > 0 ? QByteArray::number(reply.sleepSeconds) : QByteArray()},
        {".signal", reply.killSignal > 0 ? QByteArray::number(reply.killSignal) : QByteArray()}};
    for (const auto &[suffix, content] : parts) {
        QFile::remove(base + suffix);
        if (!content.isEmpty())
            writeFile(base + suffix, content);
    }
    writeFile(base + ".code", QByteArray::number(reply.exitCode));
}

QList<QStringList> FakeAdb::calls() const
{
    QFile log(m_dir.filePath("calls.log"));
    QList<QStringList> result;
    if (!log.open(QIODevice::ReadOnly))
        return result;
    for (const QByteArray &record : log.readAll().split('\036')) {
        if (record.isEmpty())
            continue; // the piece after the last separator
        QList<QByteArray> pieces = record.split('\037');
        pieces.removeLast();
        QStringList args;
        for (const QByteArray &piece : pieces)
            args << QString::fromUtf8(piece);
        result << args;
    }
    return result;
}

void FakeAdb::clearCalls()
{
    QFile::remove(m_dir.filePath("calls.log"));
}

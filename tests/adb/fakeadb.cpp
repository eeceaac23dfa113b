#include "fakeadb.h"

#include "adbrunner.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

namespace {
// Calls are logged as arguments each ended by \037, one record ended by \036;
// a rule's file name is the md5 of the arguments in the same form.
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

QString ruleName(const QStringList &args)
{
    QByteArray record;
    for (const QString &arg : args)
        record += arg.toUtf8() + '\037';
    return QString::fromLatin1(QCryptographicHash::hash(record, QCryptographicHash::Md5).toHex());
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(content) == content.size();
}
} // namespace

FakeAdb::FakeAdb()
{
    if (!m_dir.isValid() || !QDir(m_dir.path()).mkpath("rules"))
        return;
    QFile script(scriptPath());
    m_valid = writeFile(scriptPath(), kScript)
              && script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    respondByDefault({});
    ADBRunner::setExecutablePathForTesting(scriptPath());
}

FakeAdb::~FakeAdb()
{
    ADBRunner::setExecutablePathForTesting(QString());
}

QString FakeAdb::scriptPath() const
{
    return m_dir.filePath("adb");
}

void FakeAdb::respond(const QStringList &args, const Reply &reply)
{
    writeRule(ruleName(args), reply);
}

void FakeAdb::respondByDefault(const Reply &reply)
{
    writeRule("default", reply);
}

void FakeAdb::writeRule(const QString &name, const Reply &reply)
{
    const QString base = m_dir.filePath("rules/" + name);
    for (const char *suffix : {".out", ".err", ".sleep", ".signal"})
        QFile::remove(base + suffix);
    if (!reply.out.isEmpty())
        writeFile(base + ".out", reply.out);
    if (!reply.err.isEmpty())
        writeFile(base + ".err", reply.err);
    if (reply.sleepSeconds > 0)
        writeFile(base + ".sleep", QByteArray::number(reply.sleepSeconds));
    if (reply.killSignal > 0)
        writeFile(base + ".signal", QByteArray::number(reply.killSignal));
    writeFile(base + ".code", QByteArray::number(reply.exitCode));
}

QList<QStringList> FakeAdb::calls() const
{
    QFile log(m_dir.filePath("calls.log"));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QList<QStringList> result;
    const QList<QByteArray> records = log.readAll().split('\036');
    for (const QByteArray &record : records) {
        if (record.isEmpty())
            continue; // the piece after the last separator
        QStringList args;
        const QList<QByteArray> pieces = record.split('\037');
        for (qsizetype i = 0; i + 1 < pieces.size(); ++i)
            args << QString::fromUtf8(pieces.at(i));
        result << args;
    }
    return result;
}

void FakeAdb::clearCalls()
{
    QFile::remove(m_dir.filePath("calls.log"));
}

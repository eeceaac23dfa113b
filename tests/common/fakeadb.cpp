#include "fakeadb.h"

#include "adbrunner.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace {
// A call is logged as its arguments each ended by \037, the record by \036.
const char kScript[] = R"sh(#!/bin/sh
here=$(dirname "$0")
[ -e "$here/latency" ] && sleep "$(cat "$here/latency")"
record=$(for a in "$@"; do printf '%s\037' "$a"; done)
. "$here/rules.sh"
if [ -e "$r.turns" ]; then
  n=$(($(cat "$r.count" 2>/dev/null || echo 0) + 1))
  echo "$n" > "$r.count"
  last=$(cat "$r.turns")
  [ "$n" -gt "$last" ] && n=$last
  r="$r.$n"
fi
printf '%s\036' "$record" >> "$here/calls.log"
[ -e "$r.out" ] && cat "$r.out"
[ -e "$r.err" ] && cat "$r.err" >&2
code=$(cat "$r.code")
if [ -e "$r.seconds" ]; then
  # Nothing left to do afterwards: become the sleep, so that a kill ends the call at once.
  [ -e "$r.signal" ] || [ "$code" != 0 ] || exec sleep "$(cat "$r.seconds")"
  sleep "$(cat "$r.seconds")"
fi
[ -e "$r.signal" ] && kill -"$(cat "$r.signal")" $$
exit "$code"
)sh";

void writeFile(const QString &path, const QByteArray &content)
{
    // Replaced whole, never seen half written by a call running meanwhile.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        qFatal("fake adb: cannot write %s", qPrintable(path));
}

void writeReply(const QString &base, const FakeAdb::Reply &reply)
{
    if (!reply.out.isEmpty())
        writeFile(base + ".out", reply.out);
    if (!reply.err.isEmpty())
        writeFile(base + ".err", reply.err);
    if (reply.seconds > 0)
        writeFile(base + ".seconds", QByteArray::number(reply.seconds));
    if (reply.killSignal > 0)
        writeFile(base + ".signal", QByteArray::number(reply.killSignal));
    writeFile(base + ".code", QByteArray::number(reply.exitCode));
}
} // namespace

QByteArray FakeAdb::listing(const QStringList &serials)
{
    QByteArray text = "List of devices attached\n";
    for (const QString &serial : serials)
        text += serial.toUtf8() + "\tdevice usb:1-1 product:p model:M transport_id:1\n";
    return text;
}

FakeAdb::FakeAdb()
{
    if (!m_dir.isValid() || !QDir(m_dir.path()).mkpath("rules"))
        qFatal("fake adb: no temporary folder");
    const QString script = m_dir.filePath("adb");
    writeFile(script, kScript);
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    respondByDefault({});
    ADBRunner::setExecutablePathForTesting(script);
}

void FakeAdb::setLatency(double seconds)
{
    const QString path = m_dir.filePath("latency");
    if (seconds > 0)
        writeFile(path, QByteArray::number(seconds));
    else
        QFile::remove(path);
}

void FakeAdb::respondInTurn(const QStringList &args, const QList<Reply> &replies)
{
    QString record; // as the script logs a call
    for (const QString &arg : args)
        record += arg + QChar(037);
    addRule("[ \"$record\" = " + ADBRunner::shellQuote(record) + " ]", replies);
}

void FakeAdb::addRule(const QString &condition, const QList<Reply> &replies)
{
    const QString id = QString::number(m_nextId++);
    const QString base = m_dir.filePath("rules/" + id);
    if (replies.size() == 1) {
        writeReply(base, replies.first());
    } else {
        for (int i = 0; i < replies.size(); ++i)
            writeReply(base + "." + QString::number(i + 1), replies.at(i));
        writeFile(base + ".turns", QByteArray::number(replies.size()));
    }
    if (condition.isEmpty())
        m_defaultId = id;
    else
        m_rules.prepend(condition + "; then r=\"$here/rules/" + id + "\"\n");
    QString script;
    for (const QString &rule : std::as_const(m_rules))
        script += (script.isEmpty() ? "if " : "elif ") + rule;
    const QString fallback = "r=\"$here/rules/" + m_defaultId + "\"\n";
    script += script.isEmpty() ? fallback : "else " + fallback + "fi\n";
    writeFile(m_dir.filePath("rules.sh"), script.toUtf8());
}

void FakeAdb::answerAsPhones(const QStringList &serials)
{
    respondMatching("*' push '*", {"1 file pushed.\n"});
    respondMatching("*app_process*", {{}, 0, {}, 3600}); // until killed, as the server runs
    respondMatching("*'wm size'*", {"Physical size: 1080x2400\n"});
    respondMatching("*'ip addr show wlan0'*",
                    {"    inet 192.168.1.50/24 brd 192.168.1.255 scope global wlan0\n"});
    respondMatching("*' tcpip '*", {"restarting in TCP mode port: 5555\n"});
    respondMatching("*' connect '*", {"connected to 192.168.1.50:5555\n"});
    respond({"devices", "-l"}, listing(serials));
}

QList<QStringList> FakeAdb::calls() const
{
    QList<QStringList> result;
    // The piece after the last separator of each is empty.
    for (const QString &entry :
         QString::fromUtf8(TestSupport::readFile(m_dir.filePath("calls.log")))
             .split('\036', Qt::SkipEmptyParts))
        result << entry.split('\037').mid(0, entry.count('\037'));
    return result;
}

QList<QStringList> FakeAdb::callsWith(const QStringList &words) const
{
    return TestSupport::havingAll(calls(), words);
}

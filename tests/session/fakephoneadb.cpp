#include "fakephoneadb.h"

#include "adbrunner.h"

#include <QFile>

namespace {
// One line per call, the arguments separated by 0x1f.
const char kScript[] = R"(#!/bin/sh
here=$(dirname "$0")
(IFS=$(printf '\037'); printf '%s\n' "$*") >> "$here/calls.log"
. "$here/behaviour.sh"
)";

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}
} // namespace

FakePhoneAdb::FakePhoneAdb() : m_attached{QLatin1String(kSerial)}
{
    SessionTestEnv::serverFilePath();
    const QString script = m_dir.filePath(QStringLiteral("adb"));
    m_valid = m_dir.isValid() && writeFile(script, kScript) &&
              QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    writeBehaviour();
    ADBRunner::setExecutablePathForTesting(script);
}

FakePhoneAdb::~FakePhoneAdb()
{
    ADBRunner::setExecutablePathForTesting(QString());
}

void FakePhoneAdb::addRule(const QString &pattern, const QString &shellCode)
{
    m_rules.prepend({pattern, shellCode});
    writeBehaviour();
}

void FakePhoneAdb::setAttachedSerials(const QStringList &serials)
{
    m_attached = serials;
    writeBehaviour();
}

void FakePhoneAdb::setDelaySeconds(double seconds)
{
    m_delaySeconds = seconds;
    writeBehaviour();
}

void FakePhoneAdb::writeBehaviour()
{
    QString body;
    if (m_delaySeconds > 0)
        body += QStringLiteral("sleep %1\n").arg(m_delaySeconds);
    body += QStringLiteral("case \"$*\" in\n");
    for (const auto &rule : std::as_const(m_rules))
        body += QStringLiteral("  %1) %2 ;;\n").arg(rule.first, rule.second);
    body += QStringLiteral("  'devices -l') printf 'List of devices attached\\n'");
    for (const QString &serial : std::as_const(m_attached))
        body += QStringLiteral("; printf '%1\\tdevice usb:1-1 product:p model:M transport_id:1\\n'")
                    .arg(serial);
    body += QStringLiteral(" ;;\n"
                           "  *' push '*) echo '1 file pushed.' ;;\n"
                           "  *app_process*) exec sleep 60 ;;\n"
                           "  *'ip addr show wlan0'*) echo '    inet 192.168.1.50/24 brd "
                           "192.168.1.255 scope global wlan0' ;;\n"
                           "  *'wm size'*) echo 'Physical size: 1080x2400' ;;\n"
                           "  *' tcpip '*) echo 'restarting in TCP mode port: 5555' ;;\n"
                           "  *' connect '*) echo \"connected to $4\" ;;\n"
                           "esac\n");
    writeFile(m_dir.filePath(QStringLiteral("behaviour.sh")), body.toUtf8());
}

QList<QStringList> FakePhoneAdb::calls() const
{
    QFile log(m_dir.filePath(QStringLiteral("calls.log")));
    QList<QStringList> result;
    if (log.open(QIODevice::ReadOnly)) {
        for (const QString &line : QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts))
            result << line.split(QChar(0x1f));
    }
    return result;
}

QList<QStringList> FakePhoneAdb::callsWith(const QStringList &words) const
{
    QList<QStringList> result;
    for (const QStringList &call : calls()) {
        if (std::all_of(words.begin(), words.end(),
                        [&](const QString &w) { return call.contains(w); }))
            result << call;
    }
    return result;
}

void FakePhoneAdb::clearCalls()
{
    QFile::remove(m_dir.filePath(QStringLiteral("calls.log")));
}

QString SessionTestEnv::serverFilePath()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath(QStringLiteral("scrcpy-server"));
        writeFile(file, "placeholder server");
        qputenv("PARVIX_SCRCPY_SERVER", file.toUtf8());
        return file;
    }();
    return path;
}

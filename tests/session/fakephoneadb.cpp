#include "fakephoneadb.h"

#include "adbrunner.h"

#include <QDir>
#include <QFile>

namespace {
const char kScript[] = R"(#!/bin/sh
here=$(dirname "$0")
for a in "$@"; do printf '%s\037' "$a"; done >> "$here/calls.log"
printf '\036' >> "$here/calls.log"
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

void FakePhoneAdb::writeBehaviour()
{
    QString listing = QStringLiteral("List of devices attached\\n");
    int transport = 1;
    for (const QString &serial : std::as_const(m_attached))
        listing += QStringLiteral("%1\\tdevice usb:1-%2 product:p%2 model:M%2 transport_id:%2\\n")
                       .arg(serial)
                       .arg(transport++);

    QString body = QStringLiteral("case \"$*\" in\n");
    for (const auto &rule : std::as_const(m_rules))
        body += QStringLiteral("  %1) %2 ;;\n").arg(rule.first, rule.second);
    body += QStringLiteral("  'devices -l') printf '%1' ;;\n").arg(listing);
    body += QStringLiteral("  *' push '*) echo '1 file pushed.' ;;\n"
                           "  *' reverse '*) ;;\n"
                           "  *app_process*) exec sleep 60 ;;\n"
                           "  *'ip addr show wlan0'*) echo '    inet %1/24 brd 192.168.1.255 scope "
                           "global wlan0' ;;\n"
                           "  *'wm size'*) echo 'Physical size: 1080x2400' ;;\n"
                           "  *' tcpip '*) echo 'restarting in TCP mode port: 5555' ;;\n"
                           "  *' connect '*) echo \"connected to $4\" ;;\n"
                           "  *) ;;\n"
                           "esac\n")
                .arg(QLatin1String(kIp));
    writeFile(m_dir.filePath(QStringLiteral("behaviour.sh")), body.toUtf8());
}

QList<QStringList> FakePhoneAdb::calls() const
{
    QFile log(m_dir.filePath(QStringLiteral("calls.log")));
    QList<QStringList> result;
    if (!log.open(QIODevice::ReadOnly))
        return result;
    const QList<QByteArray> records = log.readAll().split('\036');
    for (const QByteArray &record : records) {
        if (record.isEmpty())
            continue;
        QStringList args;
        const QList<QByteArray> parts = record.split('\037');
        for (int i = 0; i + 1 < parts.size(); ++i) // the last piece follows the final separator
            args << QString::fromUtf8(parts.at(i));
        result << args;
    }
    return result;
}

QList<QStringList> FakePhoneAdb::callsWith(const QStringList &words) const
{
    QList<QStringList> result;
    for (const QStringList &call : calls()) {
        bool all = true;
        for (const QString &word : words)
            all = all && call.contains(word);
        if (all)
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

#include "adbserver.h"

#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>

namespace {

struct Configured
{
    QMutex lock;
    QList<AdbServer> servers{AdbServer()};
};
Q_GLOBAL_STATIC(Configured, configuredServers)

bool validPort(const QString &text, quint16 *port)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 10);
    if (!ok || value < 1 || value > 65535)
        return false;
    *port = quint16(value);
    return true;
}

} // namespace

bool AdbServer::isLocal() const
{
    return (host == QLatin1String("localhost") || host == QLatin1String("127.0.0.1")) &&
           port == kDefaultPort;
}

QString AdbServer::text() const
{
    const QString shownHost =
        host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return shownHost + QLatin1Char(':') + QString::number(port);
}

QStringList AdbServer::options() const
{
    if (isLocal())
        return {};
    return {QStringLiteral("-H"), host, QStringLiteral("-P"), QString::number(port)};
}

std::optional<AdbServer> AdbServer::parse(const QString &entry)
{
    const QString text = entry.trimmed();
    if (text.isEmpty() || text.contains(QRegularExpression(QStringLiteral("\\s"))))
        return std::nullopt;
    AdbServer server;
    QString portText;
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (close < 0)
            return std::nullopt;
        server.host = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':')))
            return std::nullopt;
        portText = rest.isEmpty() ? QString::number(kDefaultPort) : rest.mid(1);
    } else if (text.count(QLatin1Char(':')) > 1) {
        return std::nullopt; // a bare IPv6 address: the port would be ambiguous
    } else {
        server.host = text.section(QLatin1Char(':'), 0, 0);
        portText = text.contains(QLatin1Char(':')) ? text.section(QLatin1Char(':'), 1)
                                                   : QString::number(kDefaultPort);
    }
    if (server.host.isEmpty() || server.host.contains(QLatin1Char('@')) ||
        !validPort(portText, &server.port))
        return std::nullopt;
    return server;
}

QString AdbServers::qualified(const QString &serial, const AdbServer &server)
{
    if (server.isLocal())
        return serial;
    return serial + QLatin1Char('@') + server.text();
}

AdbServer AdbServers::serverOf(const QString &phone)
{
    const qsizetype at = phone.lastIndexOf(QLatin1Char('@'));
    if (at < 0)
        return AdbServer();
    return AdbServer::parse(phone.mid(at + 1)).value_or(AdbServer());
}

QString AdbServers::plainSerial(const QString &phone)
{
    const qsizetype at = phone.lastIndexOf(QLatin1Char('@'));
    return at < 0 ? phone : phone.left(at);
}

QString AdbServers::hostLabel(const QString &phone)
{
    const AdbServer server = serverOf(phone);
    return server.isLocal() ? QString() : server.text();
}

QStringList AdbServers::phoneOptions(const QString &phone)
{
    return serverOf(phone).options() + QStringList{QStringLiteral("-s"), plainSerial(phone)};
}

QList<AdbServer> AdbServers::configured()
{
    if (configuredServers.isDestroyed()) // a background command while the process exits
        return {AdbServer()};
    QMutexLocker locker(&configuredServers->lock);
    return configuredServers->servers;
}

QList<AdbServer> AdbServers::normalized(const QStringList &entries)
{
    QList<AdbServer> servers{AdbServer()};
    for (const QString &entry : entries) {
        const std::optional<AdbServer> server = AdbServer::parse(entry);
        if (server && !servers.contains(*server))
            servers.append(*server);
    }
    return servers;
}

void AdbServers::setConfigured(const QList<AdbServer> &servers)
{
    QList<AdbServer> kept{AdbServer()};
    for (const AdbServer &server : servers) {
        if (!kept.contains(server))
            kept.append(server);
    }
    QMutexLocker locker(&configuredServers->lock);
    configuredServers->servers = kept;
}

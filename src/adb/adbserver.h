#pragma once
// The adb servers phones are reached through: the local one, and servers on other computers
// started there with "adb -a -P PORT nodaemon server". A phone is named by its serial on its
// server: local phones by their plain serial, a phone on another server by
// "SERIAL@HOST:PORT" (adb serials never hold '@'; the form stays usable in file names).
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

struct AdbServer
{
    static constexpr quint16 kDefaultPort = 5037;

    QString host = QStringLiteral("localhost");
    quint16 port = kDefaultPort;

    // The server adb uses without -H/-P; its phones keep their plain serials.
    bool isLocal() const;
    // "host:port", IPv6 hosts in brackets.
    QString text() const;
    // adb's global options that reach this server (none for the local one).
    QStringList options() const;

    // "host:port", "host" (port 5037) or "[v6]:port", surrounding blanks ignored; nothing
    // for an empty host, blanks inside, or a port outside 1..65535.
    static std::optional<AdbServer> parse(const QString &entry);

    bool operator==(const AdbServer &other) const
    {
        return text() == other.text() || (isLocal() && other.isLocal());
    }
};

namespace AdbServers {

QString qualified(const QString &serial, const AdbServer &server);
// The server and the plain serial of a phone name made by qualified().
AdbServer serverOf(const QString &phone);
QString plainSerial(const QString &phone);
// "host:port" of a phone on another server, "" for a local phone.
QString hostLabel(const QString &phone);
// adb's global options that reach the phone: -H/-P when it is not local, then -s.
QStringList phoneOptions(const QString &phone);

// The servers to look for phones on, the local one first; any thread.
QList<AdbServer> configured();
// Keeps the valid, distinct entries after the local server, which is always first.
QList<AdbServer> normalized(const QStringList &entries);
void setConfigured(const QList<AdbServer> &servers);

} // namespace AdbServers

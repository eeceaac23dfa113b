#pragma once
// adb's tunnels, which real adb keeps in its background server: reverse tunnels
// (phone socket -> computer port) and forwards (computer port -> phone port). Stored in
// HOME/run/tunnels.json; read and written under the fleet lock.
#include <QString>
#include <QVector>

struct ReverseTunnel
{
    QString transport; // serial the tunnel was set up through
    QString phone;     // the phone's own serial
    QString remote;    // e.g. localabstract:scrcpy_0000001a
    QString local;     // e.g. tcp:40123
};

struct ForwardTunnel
{
    QString transport;
    QString phone;
    QString local;  // tcp:<port> on the computer
    QString remote; // tcp:<port> on the phone
    qint64 pid = 0; // helper process listening on the local port
};

struct Tunnels
{
    static Tunnels load(const QString &home);
    bool save(const QString &home) const;

    // The computer port a phone-side socket name leads to, or 0.
    int reversePort(const QString &phone, const QString &remote) const;

    QVector<ReverseTunnel> reverses;
    QVector<ForwardTunnel> forwards;
};

// "tcp:1234" -> 1234; 0 when malformed or out of range.
int tcpPort(const QString &spec);

#include "tunnels.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

QString tunnelsPath(const QString &home)
{
    return home + QStringLiteral("/run/tunnels.json");
}

} // namespace

int tcpPort(const QString &spec)
{
    if (!spec.startsWith(QLatin1String("tcp:")))
        return 0;
    bool ok = false;
    const int port = spec.mid(4).toInt(&ok);
    return ok && port > 0 && port < 65536 ? port : 0;
}

Tunnels Tunnels::load(const QString &home)
{
    Tunnels tunnels;
    QFile file(tunnelsPath(home));
    if (!file.open(QIODevice::ReadOnly))
        return tunnels;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    for (const QJsonValue &value : root.value("reverse").toArray()) {
        const QJsonObject json = value.toObject();
        tunnels.reverses.append({json.value("transport").toString(), json.value("phone").toString(),
                                 json.value("remote").toString(), json.value("local").toString()});
    }
    for (const QJsonValue &value : root.value("forward").toArray()) {
        const QJsonObject json = value.toObject();
        tunnels.forwards.append({json.value("transport").toString(), json.value("phone").toString(),
                                 json.value("local").toString(), json.value("remote").toString(),
                                 qint64(json.value("pid").toDouble())});
    }
    return tunnels;
}

bool Tunnels::save(const QString &home) const
{
    QJsonArray reverseArray;
    for (const ReverseTunnel &tunnel : reverses)
        reverseArray.append(QJsonObject{{"transport", tunnel.transport},
                                        {"phone", tunnel.phone},
                                        {"remote", tunnel.remote},
                                        {"local", tunnel.local}});
    QJsonArray forwardArray;
    for (const ForwardTunnel &tunnel : forwards)
        forwardArray.append(QJsonObject{{"transport", tunnel.transport},
                                        {"phone", tunnel.phone},
                                        {"local", tunnel.local},
                                        {"remote", tunnel.remote},
                                        {"pid", double(tunnel.pid)}});
    QDir().mkpath(home + QStringLiteral("/run"));
    QSaveFile file(tunnelsPath(home));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(QJsonObject{{"reverse", reverseArray}, {"forward", forwardArray}})
                   .toJson(QJsonDocument::Indented));
    return file.commit();
}

int Tunnels::reversePort(const QString &phone, const QString &remote) const
{
    for (const ReverseTunnel &tunnel : reverses) {
        if (tunnel.phone == phone && tunnel.remote == remote)
            return tcpPort(tunnel.local);
    }
    return 0;
}

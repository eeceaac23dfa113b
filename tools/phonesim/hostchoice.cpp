#include "hostchoice.h"

#include "fleet.h"
#include "fleetlock.h"

#include <QDir>
#include <QThread>

namespace {

QString normalizedHost(const QString &host)
{
    return host == QLatin1String("localhost") ? QStringLiteral("127.0.0.1") : host;
}

} // namespace

HostChoice chooseFleet(const QString &homes, const QStringList &args)
{
    QString host = QStringLiteral("127.0.0.1");
    bool explicitHost = false;
    int port = qEnvironmentVariableIntValue("ANDROID_ADB_SERVER_PORT");
    if (port <= 0)
        port = 5037;
    // Global options come before the command; their values never start a command.
    for (int i = 0; i + 1 < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("-H")) {
            host = normalizedHost(args.at(++i));
            explicitHost = true;
        } else if (arg == QLatin1String("-P")) {
            port = args.at(++i).toInt();
            explicitHost = true;
        } else if (arg == QLatin1String("-s") || arg == QLatin1String("-t") ||
                   arg == QLatin1String("-L")) {
            ++i;
        } else if (!arg.startsWith(QLatin1Char('-'))) {
            break;
        }
    }
    const QStringList candidates = homes.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    const QString address = QStringLiteral("tcp:%1:%2").arg(host).arg(port);
    for (const QString &home : candidates) {
        std::optional<Fleet> fleet;
        {
            FleetLock lock(home);
            fleet = Fleet::load(home, nullptr);
        }
        if (!fleet)
            continue;
        const bool bound = (normalizedHost(fleet->host) == host && fleet->hostPort == port) ||
                           (candidates.size() == 1 && !explicitHost);
        if (!bound)
            continue;
        // Behind a pulled cable the connection attempt just hangs, until the cable is back.
        while (fleet && fleet->hostSilent) {
            QThread::msleep(50);
            FleetLock lock(home);
            fleet = Fleet::load(home, nullptr);
        }
        if (!fleet)
            continue;
        if (fleet->hostCut)
            return {{},
                    QStringLiteral("error: cannot connect to daemon at %1: Connection timed out")
                        .arg(address)};
        return {home, {}};
    }
    return {{},
            QStringLiteral("* cannot start server on remote host\n"
                           "error: cannot connect to daemon at %1: Connection refused")
                .arg(address)};
}

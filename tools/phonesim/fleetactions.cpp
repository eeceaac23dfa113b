#include "fleetactions.h"

#include "fleet.h"
#include "tunnels.h"

#include <csignal>

void Teardown::merge(const Teardown &other)
{
    servers += other.servers;
    helpers += other.helpers;
}

void Teardown::run() const
{
    // SIGUSR2 tells a server its transport is gone (adb reports the closed connection).
    ProcessRegistry::end(servers, SIGUSR2);
    ProcessRegistry::end(helpers, SIGTERM);
}

Teardown FleetActions::dropTransports(const QString &home, const QStringList &transportSerials)
{
    Teardown teardown;
    Tunnels tunnels = Tunnels::load(home);
    auto dropped = [&](const QString &transport) { return transportSerials.contains(transport); };
    tunnels.reverses.erase(
        std::remove_if(tunnels.reverses.begin(), tunnels.reverses.end(),
                       [&](const ReverseTunnel &t) { return dropped(t.transport); }),
        tunnels.reverses.end());
    tunnels.forwards.erase(
        std::remove_if(tunnels.forwards.begin(), tunnels.forwards.end(),
                       [&](const ForwardTunnel &t) { return dropped(t.transport); }),
        tunnels.forwards.end());
    tunnels.save(home);
    for (const ProcessEntry &entry : ProcessRegistry::live(home)) {
        if (!dropped(entry.transport))
            continue;
        if (entry.kind == QLatin1String("server"))
            teardown.servers.append(entry);
        else if (entry.kind == QLatin1String("forward"))
            teardown.helpers.append(entry);
    }
    return teardown;
}

Teardown FleetActions::dropEverything(const QString &home)
{
    Teardown teardown;
    Tunnels().save(home);
    for (const ProcessEntry &entry : ProcessRegistry::live(home)) {
        if (entry.kind == QLatin1String("server"))
            teardown.servers.append(entry);
        else if (entry.kind == QLatin1String("forward"))
            teardown.helpers.append(entry);
    }
    return teardown;
}

namespace {

QStringList transportsOf(const Phone &phone)
{
    QStringList serials{phone.serial};
    if (!phone.tcpSerial.isEmpty())
        serials << phone.tcpSerial;
    return serials;
}

} // namespace

Teardown FleetActions::restartAdbd(Fleet &fleet, int phoneIndex, int tcpipPort, qint64 nowMs,
                                   int awayMs)
{
    Phone &phone = fleet.phones[phoneIndex];
    const Teardown teardown = dropTransports(fleet.home, transportsOf(phone));
    phone.tcpSerial.clear();
    phone.tcpTransportId = 0;
    phone.tcpipPort = tcpipPort;
    phone.offlineUntilMs = nowMs + awayMs;
    if (phone.usb)
        phone.transportId = fleet.allocateTransportId();
    return teardown;
}

Teardown FleetActions::powerOff(Fleet &fleet, int phoneIndex)
{
    Phone &phone = fleet.phones[phoneIndex];
    const Teardown teardown = dropTransports(fleet.home, transportsOf(phone));
    phone.tcpSerial.clear();
    phone.tcpTransportId = 0;
    phone.tcpipPort = 0;
    phone.poweredOff = true;
    return teardown;
}

Teardown FleetActions::unplug(Fleet &fleet, int phoneIndex, const QString &serial)
{
    Phone &phone = fleet.phones[phoneIndex];
    if (serial == phone.tcpSerial)
        return disconnectTcp(fleet, phoneIndex);
    phone.usb = false;
    return dropTransports(fleet.home, {phone.serial});
}

void FleetActions::plug(Fleet &fleet, int phoneIndex, const QString &serial)
{
    Phone &phone = fleet.phones[phoneIndex];
    phone.poweredOff = false;
    phone.offlineUntilMs = 0;
    if (serial == phone.serial) {
        phone.usb = true;
        phone.transportId = fleet.allocateTransportId();
        return;
    }
    // A Wi-Fi serial: the phone is reachable at ip:port again.
    const int port = serial.section(QLatin1Char(':'), -1).toInt();
    phone.tcpipPort = port;
    phone.tcpSerial = serial;
    phone.tcpTransportId = fleet.allocateTransportId();
}

Teardown FleetActions::disconnectTcp(Fleet &fleet, int phoneIndex)
{
    Phone &phone = fleet.phones[phoneIndex];
    if (phone.tcpSerial.isEmpty())
        return {};
    const Teardown teardown = dropTransports(fleet.home, {phone.tcpSerial});
    phone.tcpSerial.clear();
    phone.tcpTransportId = 0;
    return teardown;
}

#pragma once
// State changes of phones and transports that end running sessions: unplugging, adbd
// restarts (tcpip / usb), reboots, power-off, disconnects and killing the adb server.
// The functions run under the fleet lock and only record what must end; the returned
// Teardown is carried out after the lock is released, because the ending processes take
// the lock themselves to unregister.
#include "processregistry.h"

#include <QStringList>

class Fleet;

struct Teardown
{
    QVector<ProcessEntry> servers; // phone-side servers whose transport went away
    QVector<ProcessEntry> helpers; // forward helpers whose transport went away

    void merge(const Teardown &other);
    void run() const;
};

namespace FleetActions {

// Forgets the tunnels of these transports and collects their processes.
Teardown dropTransports(const QString &home, const QStringList &transportSerials);
// Everything the adb server holds: all tunnels, all servers and helpers.
Teardown dropEverything(const QString &home);

// adbd on the phone restarts: every transport of the phone drops, the USB entry comes
// back after the fleet's restart time; tcpipPort is what adbd listens on afterwards.
Teardown restartAdbd(Fleet &fleet, int phoneIndex, int tcpipPort, qint64 nowMs, int awayMs);
Teardown powerOff(Fleet &fleet, int phoneIndex);
// serial: the phone's USB serial or an "ip:port" Wi-Fi serial.
Teardown unplug(Fleet &fleet, int phoneIndex, const QString &serial);
void plug(Fleet &fleet, int phoneIndex, const QString &serial);
Teardown disconnectTcp(Fleet &fleet, int phoneIndex);

} // namespace FleetActions

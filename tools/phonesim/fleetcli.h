#pragma once
// Commands on the fleet itself, outside adb: init, plug, unplug and status.
#include <QStringList>

namespace FleetCli {

// phonesim init --home DIR --phones N [--size WxH] [--fps F] [--clip FILE]
// With a clip every phone streams it instead of its screen (see ClipCli).
int init(const QStringList &args);
// phonesim plug|unplug --home DIR SERIAL
int plug(const QStringList &args, bool attach);
// phonesim status --home DIR: listed devices, running processes and tunnels as JSON.
int status(const QStringList &args);

} // namespace FleetCli

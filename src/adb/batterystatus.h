#pragma once
// The battery as "dumpsys battery" reports it.
#include <QString>

struct BatteryStatus
{
    int level = -1;        // percent, -1 when unknown
    bool charging = false; // on a charger and filling (or full while plugged in)

    bool isKnown() const { return level >= 0; }
    bool operator==(const BatteryStatus &other) const
    {
        return level == other.level && charging == other.charging;
    }

    // Reads "level", "scale", "status" and the "... powered" lines; never fails.
    static BatteryStatus parse(const QString &dumpsysOutput);
    // Asks the phone (blocking: run it on the phone's adb lane).
    static BatteryStatus read(const QString &serial);
};

#pragma once
// Exclusive lock over the fleet's shared state (fleet.json, run/, adb.log). Many phonesim
// processes run at once; each holds this lock only for short read-modify-write steps,
// never while waiting for another process.
#include <QString>

class FleetLock
{
public:
    explicit FleetLock(const QString &home);
    ~FleetLock();
    FleetLock(const FleetLock &) = delete;
    FleetLock &operator=(const FleetLock &) = delete;

    bool isLocked() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

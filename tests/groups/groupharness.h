#pragma once
// Stand-ins for the outside world of a device group: members added at once and the phone
// end of one mirroring session over loopback.
#include "device.h"
#include "devicegroup.h"

#include <QRect>
#include <QTcpSocket>

namespace GroupTest {

// A member added at once, the way the timed insertion finally does it.
inline Device *addMember(DeviceGroup *group, const QString &serial)
{
    auto *device = new Device(nullptr, serial);
    group->addDevice(device);
    return device;
}

// The phone's side of a running session: the video and control connections, opened
// in the order the phone-side server opens them.
class LoopbackPhone
{
public:
    explicit LoopbackPhone(Device *device) : m_device(device) {}
    bool connect();
    // Position rectangle of each of the next n touch messages (fewer on time-out).
    QList<QRect> takeTouches(int n);

private:
    Device *m_device;
    QTcpSocket m_video;
    QTcpSocket m_control;
    QByteArray m_buffer;
};

} // namespace GroupTest

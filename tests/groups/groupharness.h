#pragma once
// Stand-ins for the outside world of a device group: members added at once and the phone
// end of one mirroring session over loopback.
#include <QByteArray>
#include <QList>
#include <QRect>
#include <QString>
#include <memory>

class Device;
class DeviceGroup;
class QTcpSocket;

namespace GroupTest {

// A member added at once, the way the timed insertion finally does it.
Device *addMember(DeviceGroup *group, const QString &serial);

// The phone's side of a running session: the video and control connections, opened
// in the order the phone-side server opens them.
class LoopbackPhone
{
public:
    explicit LoopbackPhone(Device *device);
    ~LoopbackPhone();
    bool connect();
    // Position rectangle of each of the next n touch messages (fewer on time-out).
    QList<QRect> takeTouches(int n);

private:
    Device *m_device;
    std::unique_ptr<QTcpSocket> m_video;
    std::unique_ptr<QTcpSocket> m_control;
    QByteArray m_buffer;
};

} // namespace GroupTest

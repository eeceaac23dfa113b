#include "groupharness.h"

#include "controlwire.h"
#include "device.h"
#include "devicegroup.h"
#include "scrcpyserver.h"
#include "serverparams.h"

#include <QDeadlineTimer>
#include <QRect>
#include <QTcpSocket>
#include <QTest>

namespace GroupTest {

Device *addMember(DeviceGroup *group, const QString &serial)
{
    auto *device = new Device(nullptr, serial);
    group->addDevice(device);
    return device;
}

LoopbackPhone::LoopbackPhone(Device *device) : m_device(device) {}

LoopbackPhone::~LoopbackPhone() = default;

bool LoopbackPhone::connect()
{
    m_device->startScrcpySession();
    // The launch runs on the phone's adb lane; the port is known once it listens.
    if (!m_device->running() ||
        !QTest::qWaitFor([&] { return m_device->server() && m_device->server()->isLaunched(); }))
        return false;
    const quint16 port = m_device->currentServerParams()->port();
    m_video = std::make_unique<QTcpSocket>();
    m_video->connectToHost(QHostAddress::LocalHost, port);
    if (!m_video->waitForConnected(3000) ||
        !QTest::qWaitFor([&] { return m_device->videoDemuxer() != nullptr; }))
        return false;
    m_control = std::make_unique<QTcpSocket>();
    m_control->connectToHost(QHostAddress::LocalHost, port);
    return m_control->waitForConnected(3000) &&
           QTest::qWaitFor([&] { return m_device->controller() != nullptr; });
}

QList<QRect> LoopbackPhone::takeTouches(int n)
{
    QList<QRect> touches;
    QDeadlineTimer deadline(3000);
    while (m_control && touches.size() < n && !deadline.hasExpired()) {
        QTest::qWait(10);
        m_buffer += m_control->readAll();
        QList<WireMessage> messages;
        decodeControlMessages(m_buffer, messages);
        for (const WireMessage &m : messages) {
            if (m.type == 2)
                touches << QRect(m.x, m.y, m.width, m.height);
        }
    }
    return touches;
}

} // namespace GroupTest

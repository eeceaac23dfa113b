#include "groupharness.h"
#include "controlwire.h"
#include "scrcpyserver.h"
#include "serverparams.h"

#include <QTest>

namespace GroupTest {

bool LoopbackPhone::connect()
{
    m_device->startScrcpySession();
    // The launch runs on the phone's adb lane; the port is known once it listens.
    if (!m_device->running() ||
        !QTest::qWaitFor([&] { return m_device->server() && m_device->server()->isLaunched(); }))
        return false;
    const quint16 port = m_device->currentServerParams()->port();
    m_video.connectToHost(QHostAddress::LocalHost, port);
    if (!m_video.waitForConnected(3000) ||
        !QTest::qWaitFor([&] { return m_device->videoDemuxer() != nullptr; }))
        return false;
    m_control.connectToHost(QHostAddress::LocalHost, port);
    return m_control.waitForConnected(3000) &&
           QTest::qWaitFor([&] { return m_device->controller() != nullptr; });
}

QList<QRect> LoopbackPhone::takeTouches(int n)
{
    QList<QRect> touches;
    (void)QTest::qWaitFor(
        [&] {
            m_buffer += m_control.readAll();
            QList<WireMessage> messages;
            decodeControlMessages(m_buffer, messages);
            for (const WireMessage &m : messages) {
                if (m.type == 2)
                    touches << QRect(m.x, m.y, m.width, m.height);
            }
            return touches.size() >= n;
        },
        3000);
    return touches;
}

} // namespace GroupTest

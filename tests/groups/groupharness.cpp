#include "groupharness.h"

#include "device.h"
#include "devicegroup.h"
#include "serverparams.h"

#include <QDeadlineTimer>
#include <QRect>
#include <QTcpSocket>
#include <QTest>
#include <QtEndian>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

namespace GroupTest {

namespace {
// Length of the control message at the front, -1 while its length is unknown.
int messageLength(const QByteArray &buffer)
{
    if (buffer.isEmpty())
        return -1;
    switch (quint8(buffer.at(0))) {
    case 0:
        return 14;
    case 2:
        return 32;
    case 9:
        return buffer.size() < 14 ? -1 : 14 + int(qFromBigEndian<quint32>(buffer.data() + 10));
    default:
        return 1;
    }
}
} // namespace

Device *addMember(DeviceGroup *group, const QString &serial)
{
    auto *device = new Device(nullptr, serial);
    group->addDevice(device);
    return device;
}

void setFrameSize(Device *device, const QSize &size)
{
    AVFrame *frame = av_frame_alloc();
    frame->width = size.width();
    frame->height = size.height();
    frame->format = AV_PIX_FMT_YUV420P;
    device->handleDecodedVideoFrame(frame);
    av_frame_free(&frame);
}

LoopbackPhone::LoopbackPhone(Device *device) : m_device(device) {}

LoopbackPhone::~LoopbackPhone() = default;

bool LoopbackPhone::connect()
{
    m_device->startScrcpySession();
    if (!m_device->running())
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
        for (int length = messageLength(m_buffer); length > 0 && m_buffer.size() >= length;
             length = messageLength(m_buffer)) {
            const char *bytes = m_buffer.constData();
            if (bytes[0] == 2)
                touches << QRect(
                    qFromBigEndian<qint32>(bytes + 10), qFromBigEndian<qint32>(bytes + 14),
                    qFromBigEndian<quint16>(bytes + 18), qFromBigEndian<quint16>(bytes + 20));
            m_buffer.remove(0, length);
        }
    }
    return touches;
}

} // namespace GroupTest

#include "groupharness.h"

#include "adbrunner.h"
#include "device.h"
#include "devicegroup.h"
#include "scrcpyserver.h"
#include "serverparams.h"

#include <QDeadlineTimer>
#include <QFile>
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
const char kScript[] = R"SH(#!/bin/sh
here=$(dirname "$0")
printf '%s\n' "$*" >> "$here/calls.log"
case "$*" in
  'devices -l')
    n=$(($(cat "$here/listings" 2>/dev/null || echo 0) + 1))
    echo "$n" > "$here/listings"
    if [ -f "$here/delay_$n" ]; then sleep "$(cat "$here/delay_$n")"; fi
    if [ -f "$here/failure" ]; then cat "$here/failure" >&2; exit 1; fi
    echo 'List of devices attached'
    for s in $(cat "$here/attached" 2>/dev/null); do
      printf '%s\tdevice usb:1-1 product:p model:M transport_id:1\n' "$s"
    done
    if [ -f "$here/numbered" ]; then
      printf 'LISTING%s\tdevice usb:1-2 transport_id:2\n' "$n"
    fi
    ;;
  *' shell echo '*) serial=$2; shift 4; echo "$serial:$*" ;;
  *' shell sleep '*) sleep "$5" ;;
  *app_process*) exec sleep 60 ;;
  *' push '*) echo '1 file pushed.' ;;
  *) ;;
esac
)SH";

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

ScriptedAdb::ScriptedAdb()
{
    // The adb bridge reads the server file's location once per process.
    static QTemporaryDir serverDir;
    QFile server(serverDir.filePath(QStringLiteral("scrcpy-server")));
    if (server.open(QIODevice::WriteOnly))
        server.write("placeholder server\n");
    qputenv("PARVIX_SCRCPY_SERVER", server.fileName().toUtf8());

    set(QStringLiteral("adb"), kScript);
    const QString path = m_dir.filePath(QStringLiteral("adb"));
    m_valid = m_dir.isValid() &&
              QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ADBRunner::setExecutablePathForTesting(path);
}

ScriptedAdb::~ScriptedAdb()
{
    ADBRunner::setExecutablePathForTesting(QString());
}

void ScriptedAdb::set(const QString &name, const QByteArray &content)
{
    QFile file(m_dir.filePath(name));
    if (content.isEmpty())
        file.remove();
    else if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

int ScriptedAdb::listingCount() const
{
    QFile log(m_dir.filePath(QStringLiteral("calls.log")));
    return log.open(QIODevice::ReadOnly) ? int(log.readAll().count("devices -l\n")) : 0;
}

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

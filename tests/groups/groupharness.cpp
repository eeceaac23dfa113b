#include "groupharness.h"

#include "adbrunner.h"
#include "device.h"
#include "serverparams.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
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
  *app_process*) exec sleep 60 ;;
  *' push '*) echo '1 file pushed.' ;;
  *) ;;
esac
)SH";

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
        if (buffer.size() < 14)
            return -1;
        return 14 + int(qFromBigEndian<quint32>(buffer.constData() + 10));
    default:
        return 1;
    }
}
} // namespace

void ensureServerFile()
{
    static QTemporaryDir dir;
    static const bool done = [] {
        const QString file = dir.filePath(QStringLiteral("scrcpy-server"));
        QFile out(file);
        if (out.open(QIODevice::WriteOnly))
            out.write("placeholder server\n");
        qputenv("PARVIX_SCRCPY_SERVER", file.toUtf8());
        return true;
    }();
    Q_UNUSED(done)
}

ScriptedAdb::ScriptedAdb()
{
    ensureServerFile();
    write(QStringLiteral("adb"), kScript);
    m_valid = m_dir.isValid() &&
              QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ADBRunner::setExecutablePathForTesting(path());
}

ScriptedAdb::~ScriptedAdb()
{
    ADBRunner::setExecutablePathForTesting(QString());
}

QString ScriptedAdb::path() const
{
    return m_dir.filePath(QStringLiteral("adb"));
}

void ScriptedAdb::write(const QString &name, const QByteArray &content)
{
    QFile file(m_dir.filePath(name));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

void ScriptedAdb::remove(const QString &name)
{
    QFile::remove(m_dir.filePath(name));
}

void ScriptedAdb::setAttached(const QStringList &serials)
{
    write(QStringLiteral("attached"), serials.join(QLatin1Char('\n')).toUtf8());
}

void ScriptedAdb::setListingFailure(const QString &stderrText)
{
    if (stderrText.isEmpty())
        remove(QStringLiteral("failure"));
    else
        write(QStringLiteral("failure"), stderrText.toUtf8());
}

void ScriptedAdb::setListingDelay(int n, double seconds)
{
    write(QStringLiteral("delay_%1").arg(n), QByteArray::number(seconds));
}

void ScriptedAdb::setNumberedListings(bool on)
{
    if (on)
        write(QStringLiteral("numbered"), "1");
    else
        remove(QStringLiteral("numbered"));
}

QStringList ScriptedAdb::calls() const
{
    QFile log(m_dir.filePath(QStringLiteral("calls.log")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

int ScriptedAdb::listingCount() const
{
    return int(calls().count(QStringLiteral("devices -l")));
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

QList<QByteArray> LoopbackPhone::takeMessages(int n, int timeoutMs)
{
    QList<QByteArray> messages;
    QDeadlineTimer deadline(timeoutMs);
    while (m_control) {
        m_buffer += m_control->readAll();
        int length = messageLength(m_buffer);
        while (length > 0 && m_buffer.size() >= length && messages.size() < n) {
            messages.append(m_buffer.left(length));
            m_buffer.remove(0, length);
            length = messageLength(m_buffer);
        }
        if (messages.size() >= n || deadline.hasExpired())
            break;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        m_control->waitForReadyRead(10);
    }
    return messages;
}

LoopbackPhone::Touch LoopbackPhone::parseTouch(const QByteArray &message)
{
    Touch touch;
    if (message.size() != 32 || message.at(0) != 2)
        return touch;
    const char *bytes = message.constData();
    touch.action = quint8(bytes[1]);
    touch.pointerId = qFromBigEndian<quint64>(bytes + 2);
    touch.x = qFromBigEndian<qint32>(bytes + 10);
    touch.y = qFromBigEndian<qint32>(bytes + 14);
    touch.width = qFromBigEndian<quint16>(bytes + 18);
    touch.height = qFromBigEndian<quint16>(bytes + 20);
    touch.pressure = qFromBigEndian<quint16>(bytes + 22);
    return touch;
}

} // namespace GroupTest

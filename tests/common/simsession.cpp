#include "simsession.h"

#include "testsupport.h"

#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

namespace Sim {

quint32 be32(const QByteArray &bytes, int offset)
{
    return qFromBigEndian<quint32>(bytes.constData() + offset);
}

quint64 be64(const QByteArray &bytes, int offset)
{
    return qFromBigEndian<quint64>(bytes.constData() + offset);
}

QByteArray be32Bytes(quint32 value)
{
    return be64Bytes(value).mid(4);
}

QByteArray be64Bytes(quint64 value)
{
    QByteArray bytes(8, Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}

void send(QTcpSocket *socket, const QByteArray &bytes)
{
    socket->write(bytes);
    while (socket->bytesToWrite() > 0 && socket->waitForBytesWritten(5000)) {
    }
}

QByteArray readExactly(QTcpSocket *socket, int n, int timeoutMs)
{
    QByteArray bytes;
    QDeadlineTimer deadline(timeoutMs);
    while (bytes.size() < n && !deadline.hasExpired()) {
        if (!socket->bytesAvailable() && socket->state() != QAbstractSocket::ConnectedState)
            break;
        if (!socket->bytesAvailable())
            socket->waitForReadyRead(int(qMin<qint64>(deadline.remainingTime(), 200)));
        bytes += socket->read(n - bytes.size());
    }
    return bytes;
}

bool waitForClose(QTcpSocket *socket, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (socket->state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        socket->readAll();
        socket->waitForReadyRead(int(qMin<qint64>(deadline.remainingTime(), 200)));
    }
    return socket->state() != QAbstractSocket::ConnectedState;
}

MediaPacket readPacket(QTcpSocket *socket, int timeoutMs)
{
    const QByteArray header = readExactly(socket, 12, timeoutMs);
    const quint32 size = header.size() == 12 ? be32(header, 8) : 0;
    if (size == 0 || size > (1u << 23))
        return {};
    const QByteArray payload = readExactly(socket, int(size), timeoutMs);
    return {be64(header, 0), payload, payload.size() == int(size)};
}

MediaPacket nextConfigPacket(QTcpSocket *socket)
{
    for (int i = 0; i < 60; ++i) {
        const MediaPacket packet = readPacket(socket);
        if (!packet.valid || packet.isConfig())
            return packet;
    }
    return {};
}

QList<int> nalTypes(const QByteArray &annexB)
{
    QList<int> types;
    for (int i = 0; i + 3 < annexB.size(); ++i) {
        if (annexB.at(i) == 0 && annexB.at(i + 1) == 0 && annexB.at(i + 2) == 1) {
            types << (quint8(annexB.at(i + 3)) & 0x1f);
            i += 3;
        }
    }
    return types;
}

H264Probe::H264Probe()
{
    const AVCodec *codec = avcodec_find_decoder_by_name("h264");
    m_context = avcodec_alloc_context3(codec);
    m_context->flags |= AV_CODEC_FLAG_LOW_DELAY;
    avcodec_open2(m_context, codec, nullptr);
    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
}

H264Probe::~H264Probe()
{
    sws_freeContext(m_sws);
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    avcodec_free_context(&m_context);
}

QSize H264Probe::feed(const QByteArray &payload)
{
    if (av_new_packet(m_packet, int(payload.size())) != 0)
        return {};
    memcpy(m_packet->data, payload.constData(), size_t(payload.size()));
    avcodec_send_packet(m_context, m_packet);
    av_packet_unref(m_packet);
    QSize size;
    while (avcodec_receive_frame(m_context, m_frame) == 0) {
        size = QSize(m_frame->width, m_frame->height);
        // A spare row: swscale's vector code may write a little past the end of one.
        QImage image(size.width(), size.height() + 1, QImage::Format_RGB888);
        m_sws = sws_getCachedContext(m_sws, size.width(), size.height(),
                                     AVPixelFormat(m_frame->format), size.width(), size.height(),
                                     AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr);
        uint8_t *rows[1] = {image.bits()};
        const int stride[1] = {int(image.bytesPerLine())};
        sws_scale(m_sws, m_frame->data, m_frame->linesize, 0, size.height(), rows, stride);
        m_picture = image.copy(0, 0, size.width(), size.height());
        av_frame_unref(m_frame);
    }
    return size;
}

QByteArray keycodeMessage(int action, int keycode, int repeat, int metaState)
{
    return QByteArray(1, char(0)) + char(action) + be32Bytes(quint32(keycode)) +
           be32Bytes(quint32(repeat)) + be32Bytes(quint32(metaState));
}

QByteArray keyPress(int keycode)
{
    return keycodeMessage(0, keycode) + keycodeMessage(1, keycode);
}

QByteArray touchMessage(int action, quint64 pointerId, int x, int y, int width, int height,
                        quint16 pressure, int actionButton, int buttons)
{
    return QByteArray(1, char(2)) + char(action) + be64Bytes(pointerId) + be32Bytes(quint32(x)) +
           be32Bytes(quint32(y)) + be32Bytes((quint32(width) << 16) | quint16(height)) +
           be32Bytes(pressure).mid(2) + be32Bytes(quint32(actionButton)) +
           be32Bytes(quint32(buttons));
}

QByteArray clipboardMessage(quint64 sequence, bool paste, const QByteArray &utf8)
{
    return QByteArray(1, char(9)) + be64Bytes(sequence) + char(paste) +
           be32Bytes(quint32(utf8.size())) + utf8;
}

Session::Session(VirtualFleet &fleet, const Options &options) : m_fleet(fleet), m_options(options)
{}

Session::~Session()
{
    if (process && process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished(3000);
    }
}

bool Session::launch()
{
    const Options &o = m_options;
    const QString jar = QStringLiteral("/data/local/tmp/scrcpy-server.jar");
    const QString scid = QStringLiteral("%1").arg(o.scid, 8, 16, QLatin1Char('0'));
    if (o.push && m_fleet.on(o.serial, {"push", m_fleet.home() + "/scrcpy-server", jar}).exitCode)
        return false;
    if (!listener.listen(QHostAddress::LocalHost, 0))
        return false;
    const QString port = QStringLiteral("tcp:%1").arg(listener.serverPort());
    if (o.tunnel &&
        m_fleet.on(o.serial, {"reverse", "localabstract:scrcpy_" + scid, port}).exitCode)
        return false;
    QStringList args = QStringLiteral("-s %1 shell CLASSPATH=%2 app_process / "
                                      "com.genymobile.scrcpy.Server %3 video_bit_rate=500000 "
                                      "audio_codec=opus log_level=verbose max_fps=10 "
                                      "stay_awake=true scid=%4 control=true video=true audio=%5")
                           .arg(o.serial, jar, o.version, scid, o.audio ? "true" : "false")
                           .split(QLatin1Char(' '));
    if (o.maxSize > 0)
        args << QStringLiteral("max_size=%1").arg(o.maxSize);
    process = m_fleet.startAdb(args + o.extra);
    return process->waitForStarted(5000);
}

bool Session::acceptAll(int timeoutMs)
{
    for (QTcpSocket **slot : {&video, &audio, &control}) {
        if (*slot || (slot == &audio && !m_options.audio))
            continue;
        if (!listener.hasPendingConnections() && !listener.waitForNewConnection(timeoutMs))
            return false;
        *slot = listener.nextPendingConnection();
    }
    return true;
}

bool Session::waitForExit(int timeoutMs)
{
    return process &&
           (process->state() == QProcess::NotRunning || process->waitForFinished(timeoutMs));
}

Session::VideoHeader Session::readVideoHeader()
{
    const QByteArray bytes = readExactly(video, 76);
    if (bytes.size() != 76)
        return {};
    return {bytes.left(64), bytes.mid(64, 4), QSize(int(be32(bytes, 68)), int(be32(bytes, 72)))};
}

std::unique_ptr<Session> openSession(VirtualFleet &fleet, Session::Options options)
{
    if (options.serial.isEmpty())
        options.serial = fleet.serial();
    auto session = std::make_unique<Session>(fleet, options);
    if (!session->launch() || !session->acceptAll())
        return nullptr;
    return session;
}

} // namespace Sim

#include "simsession.h"

#include <QDeadlineTimer>

namespace Sim {

void send(QTcpSocket *socket, const QByteArray &bytes)
{
    socket->write(bytes);
    while (socket->bytesToWrite() > 0 && socket->waitForBytesWritten(5000)) {
    }
}

QByteArray readExactly(QTcpSocket *socket, int n)
{
    QByteArray bytes;
    QDeadlineTimer deadline(15000);
    while (bytes.size() < n && !deadline.hasExpired()) {
        if (!socket->bytesAvailable() && socket->state() != QAbstractSocket::ConnectedState)
            break;
        if (!socket->bytesAvailable())
            socket->waitForReadyRead(200);
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

MediaPacket readPacket(QTcpSocket *socket)
{
    const QByteArray header = readExactly(socket, 12);
    const quint32 size = header.size() == 12 ? be32(header, 8) : 0;
    if (size == 0 || size > (1u << 23))
        return {};
    const QByteArray payload = readExactly(socket, int(size));
    return {qFromBigEndian<quint64>(header.constData()), payload, payload.size() == int(size)};
}

QList<int> nalTypes(const QByteArray &annexB)
{
    QList<int> types;
    for (qsizetype at = annexB.indexOf(QByteArray("\0\0\1", 3)); at >= 0 && at + 3 < annexB.size();
         at = annexB.indexOf(QByteArray("\0\0\1", 3), at + 3))
        types << (quint8(annexB.at(at + 3)) & 0x1f);
    return types;
}

QByteArray keycodeMessage(int action, int keycode, int repeat, int metaState)
{
    return QByteArray(1, char(0)) + char(action) + bigEndian(qint32(keycode)) +
           bigEndian(qint32(repeat)) + bigEndian(qint32(metaState));
}

QByteArray touchMessage(int action, quint64 pointerId, int x, int y, int width, int height,
                        quint16 pressure, int actionButton, int buttons)
{
    return QByteArray(1, char(2)) + char(action) + bigEndian(pointerId) + bigEndian(qint32(x)) +
           bigEndian(qint32(y)) + bigEndian(quint16(width)) + bigEndian(quint16(height)) +
           bigEndian(pressure) + bigEndian(qint32(actionButton)) + bigEndian(qint32(buttons));
}

QByteArray clipboardMessage(quint64 sequence, bool paste, const QByteArray &utf8)
{
    return QByteArray(1, char(9)) + bigEndian(sequence) + char(paste) +
           bigEndian(quint32(utf8.size())) + utf8;
}

bool Session::launch(VirtualFleet &fleet, int maxSize, const QStringList &extra)
{
    const QString serial = fleet.serial(), scid = QStringLiteral("0000001a");
    const QString jar = QStringLiteral("/data/local/tmp/scrcpy-server.jar");
    if (fleet.on(serial, {"push", fleet.home() + "/scrcpy-server", jar}).exitCode ||
        !listener.listen(QHostAddress::LocalHost, 0))
        return false;
    const QString port = QStringLiteral("tcp:%1").arg(listener.serverPort());
    if (fleet.on(serial, {"reverse", "localabstract:scrcpy_" + scid, port}).exitCode)
        return false;
    const QStringList args =
        QStringLiteral("-s %1 shell CLASSPATH=%2 app_process / com.genymobile.scrcpy.Server %3 "
                       "video_bit_rate=500000 audio_codec=opus log_level=verbose max_fps=10 "
                       "stay_awake=true scid=%4 control=true video=true audio=true max_size=%5")
            .arg(serial, jar, QStringLiteral(PARVIX_SERVER_VERSION), scid, QString::number(maxSize))
            .split(QLatin1Char(' '));
    process = fleet.startAdb(args + extra);
    return process->waitForStarted(5000);
}

} // namespace Sim

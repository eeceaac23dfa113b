#pragma once
// The computer's end of a session, parsed here: the virtual phone is checked against the wire.
#include "h264teststream.h"
#include "version.h"
#include "virtualfleet.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace Sim {

inline quint32 be32(const QByteArray &bytes, int offset = 0)
{
    return qFromBigEndian<quint32>(bytes.constData() + offset);
}
using Wire::bigEndian;

// Writes and waits until the bytes left (tests block instead of running an event loop).
void send(QTcpSocket *socket, const QByteArray &bytes);
// Exactly n bytes, or fewer when the peer closed or time ran out.
QByteArray readExactly(QTcpSocket *socket, int n);
// True once the peer closed within the time (data before it is drained).
bool waitForClose(QTcpSocket *socket, int timeoutMs = 15000);

struct MediaPacket
{
    quint64 ptsAndFlags = 0;
    QByteArray payload;
    bool valid = false;

    bool isConfig() const { return ptsAndFlags & Wire::Config; }
    bool isKeyFrame() const { return ptsAndFlags & Wire::KeyFrame; }
    qint64 pts() const { return qint64(ptsAndFlags & (Wire::KeyFrame - 1)); }
};
MediaPacket readPacket(QTcpSocket *socket);
// H.264 NAL unit types of an Annex B payload, in order.
QList<int> nalTypes(const QByteArray &annexB);

// Control messages built by hand from their byte layout.
QByteArray keycodeMessage(int action, int keycode, int repeat = 0, int metaState = 0);
QByteArray touchMessage(int action, quint64 pointerId, int x, int y, int width, int height,
                        quint16 pressure, int actionButton = 0, int buttons = 0);
QByteArray clipboardMessage(quint64 sequence, bool paste, const QByteArray &utf8);

// Listens, tunnels and starts the server with the exact app_process command line.
struct Session
{
    // On the fleet's first phone, with sound, `extra` key=value last; false if a step failed.
    bool launch(VirtualFleet &fleet, int maxSize, const QStringList &extra);

    QTcpServer listener;
    QProcess *process = nullptr; // owned and killed by the fleet
    QTcpSocket *video = nullptr, *audio = nullptr, *control = nullptr;
};

} // namespace Sim

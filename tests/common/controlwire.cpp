#include "controlwire.h"

#include <QMap>
#include <QTest>
#include <QtEndian>

namespace {
template<typename T> T readBig(const QByteArray &b, int offset)
{
    return qFromBigEndian<T>(b.constData() + offset);
}
} // namespace

bool decodeControlMessages(QByteArray &buffer, QList<WireMessage> &out)
{
    // Sizes without a clipboard's text.
    static const QMap<int, int> sizes{{0, 14}, {2, 32}, {9, 14}, {11, 1}, {17, 1}};
    while (!buffer.isEmpty()) {
        WireMessage m;
        m.type = quint8(buffer.at(0));
        if (!sizes.contains(m.type))
            return false;
        int size = sizes.value(m.type);
        if (m.type == 9 && buffer.size() >= size)
            size += int(readBig<quint32>(buffer, 10));
        if (buffer.size() < size)
            return true;
        if (m.type == 0 || m.type == 2)
            m.action = quint8(buffer.at(1));
        if (m.type == 0) {
            m.keycode = readBig<qint32>(buffer, 2);
            m.repeat = readBig<qint32>(buffer, 6);
            m.metaState = readBig<qint32>(buffer, 10);
        } else if (m.type == 2) {
            m.pointerId = readBig<quint64>(buffer, 2);
            m.x = readBig<qint32>(buffer, 10);
            m.y = readBig<qint32>(buffer, 14);
            m.width = readBig<quint16>(buffer, 18);
            m.height = readBig<quint16>(buffer, 20);
            m.pressure = readBig<quint16>(buffer, 22);
            m.actionButton = readBig<qint32>(buffer, 24);
            m.buttons = readBig<qint32>(buffer, 28);
        } else if (m.type == 9) {
            m.sequence = readBig<quint64>(buffer, 1);
            m.paste = buffer.at(9) != 0;
            m.text = buffer.mid(14, size - 14);
        }
        buffer.remove(0, size);
        out.append(m);
    }
    return true;
}

ControlLink::ControlLink()
{
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        return;
    m_host.connectToHost(QHostAddress::LocalHost, m_server.serverPort());
    if (!m_host.waitForConnected(3000) || !m_server.waitForNewConnection(3000))
        return;
    m_phone = m_server.nextPendingConnection();
    connect(m_phone, &QTcpSocket::readyRead, this, [this] {
        m_buffer.append(m_phone->readAll());
        decodeControlMessages(m_buffer, m_messages);
    });
}

bool ControlLink::waitForMessages(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return m_messages.size() >= count; }, timeoutMs);
}

QList<WireMessage> ControlLink::settle(int ms)
{
    QTest::qWait(ms);
    return m_messages;
}

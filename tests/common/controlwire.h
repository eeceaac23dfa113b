#pragma once
// The phone's side of a control connection, decoded byte by byte, independently of ControlMsg.
#include <QTcpServer>
#include <QTcpSocket>

struct WireMessage
{
    int type = -1;
    int action = 0;
    qint32 keycode = 0, repeat = 0, metaState = 0; // key
    quint64 pointerId = 0;                         // touch
    qint32 x = 0, y = 0;
    quint16 width = 0, height = 0, pressure = 0;
    qint32 actionButton = 0, buttons = 0;
    quint64 sequence = 0; // clipboard
    bool paste = false;
    QByteArray text;
};

// Takes the complete messages off the front of buffer; false on a type no message has.
bool decodeControlMessages(QByteArray &buffer, QList<WireMessage> &out);

class ControlLink : public QObject
{
public:
    ControlLink();
    bool isConnected() const
    {
        return m_phone && m_host.state() == QAbstractSocket::ConnectedState;
    }
    QTcpSocket *hostSocket() { return &m_host; }
    QList<WireMessage> messages() const { return m_messages; }
    QList<WireMessage> takeMessages() { return std::exchange(m_messages, {}); }
    bool waitForMessages(int count, int timeoutMs = 3000);
    // Waits a while and returns whatever arrived (for "nothing more is sent").
    QList<WireMessage> settle(int ms = 100);

private:
    QTcpServer m_server;
    QTcpSocket m_host;
    QTcpSocket *m_phone = nullptr;
    QByteArray m_buffer;
    QList<WireMessage> m_messages;
};

#pragma once
// The phone's side of a control connection, for tests: a loopback server whose accepted
// socket decodes control messages byte by byte, independently of ControlMsg.
#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>

struct WireMessage
{
    int type = -1;
    int action = 0;
    // inject keycode
    qint32 keycode = 0;
    qint32 repeat = 0;
    qint32 metaState = 0;
    // inject touch event
    quint64 pointerId = 0;
    qint32 x = 0;
    qint32 y = 0;
    quint16 width = 0;
    quint16 height = 0;
    quint16 pressure = 0;
    qint32 actionButton = 0;
    qint32 buttons = 0;
    // set clipboard
    quint64 sequence = 0;
    bool paste = false;
    QByteArray text;

    qint64 receivedMs = 0; // since the link was made
};

// Decodes every complete message at the front of buffer and removes it. Returns false
// when the buffer starts with a type no control message has.
bool decodeControlMessages(QByteArray &buffer, QList<WireMessage> &out, qint64 nowMs = 0);

class ControlLink : public QObject
{
    Q_OBJECT
public:
    ControlLink();
    bool isConnected() const;
    // The host's end, to be handed to a Controller.
    QTcpSocket *hostSocket() { return &m_host; }
    QList<WireMessage> messages() const { return m_messages; }
    QList<WireMessage> takeMessages();
    bool waitForMessages(int count, int timeoutMs = 3000);
    // Waits a while and returns whatever arrived (for "nothing more is sent").
    QList<WireMessage> settle(int ms = 100);
    bool streamBroken() const { return m_broken; }
    qint64 elapsedMs() const { return m_clock.elapsed(); }

private:
    void readPhoneSide();

    QTcpServer m_server;
    QTcpSocket m_host;
    QTcpSocket *m_phone = nullptr;
    QByteArray m_buffer;
    QList<WireMessage> m_messages;
    QElapsedTimer m_clock;
    bool m_broken = false;
};

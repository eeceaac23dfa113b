#pragma once
#include <QByteArray>
#include <QObject>
#include <QPointer>

class QIODevice;

// Reads the messages the phone writes on the control connection and puts the
// phone's clipboard text on the computer's clipboard. Messages may arrive split
// over several reads or several in one read, so bytes are buffered until a whole
// message is there.
class DeviceMessageReceiver : public QObject
{
    Q_OBJECT

public:
    // Largest clipboard text the phone-side server sends (it truncates above).
    static constexpr quint32 kMaxClipboardBytes = 1 << 20;

    DeviceMessageReceiver(QObject *parent, QIODevice *socket);

    // Bytes received but not yet part of a complete message.
    int pendingBytes() const { return m_buffer.size(); }

public slots:
    void handleIncomingData();

signals:
    // A complete clipboard message was applied (also when the text was empty).
    void clipboardReceived(const QString &text);

private:
    enum class ParseResult { Consumed, NeedMore, Unframeable };
    ParseResult parseOne();

    QPointer<QIODevice> m_socket;
    QByteArray m_buffer;
};

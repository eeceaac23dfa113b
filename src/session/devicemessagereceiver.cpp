#include "devicemessagereceiver.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QIODevice>
#include <QtEndian>

namespace {
enum MessageType : quint8 { Clipboard = 0, AckClipboard = 1, UhidOutput = 2 };

constexpr int kClipboardHeader = 1 + 4;
constexpr int kAckClipboardSize = 1 + 8;
constexpr int kUhidHeader = 1 + 2 + 2;

quint32 readBigEndian32(const char *data)
{
    return qFromBigEndian<quint32>(reinterpret_cast<const uchar *>(data));
}

quint16 readBigEndian16(const char *data)
{
    return qFromBigEndian<quint16>(reinterpret_cast<const uchar *>(data));
}
} // namespace

DeviceMessageReceiver::DeviceMessageReceiver(QObject *parent, QIODevice *socket)
    : QObject(parent), m_socket(socket)
{
    if (socket)
        connect(socket, &QIODevice::readyRead, this, &DeviceMessageReceiver::handleIncomingData);
}

void DeviceMessageReceiver::handleIncomingData()
{
    if (!m_socket)
        return;
    m_buffer.append(m_socket->readAll());
    for (;;) {
        switch (parseOne()) {
        case ParseResult::Consumed:
            continue;
        case ParseResult::NeedMore:
            return;
        case ParseResult::Unframeable:
            // Without a valid length there is no way to find the next message.
            m_buffer.clear();
            return;
        }
    }
}

DeviceMessageReceiver::ParseResult DeviceMessageReceiver::parseOne()
{
    if (m_buffer.isEmpty())
        return ParseResult::NeedMore;
    const char *data = m_buffer.constData();
    const qsizetype available = m_buffer.size();

    switch (quint8(data[0])) {
    case Clipboard: {
        if (available < kClipboardHeader)
            return ParseResult::NeedMore;
        const quint32 length = readBigEndian32(data + 1);
        if (length > kMaxClipboardBytes)
            return ParseResult::Unframeable;
        if (available < kClipboardHeader + qsizetype(length))
            return ParseResult::NeedMore;
        QByteArray text = m_buffer.mid(kClipboardHeader, length);
        const qsizetype zero = text.indexOf('\0');
        if (zero >= 0)
            text.truncate(zero);
        m_buffer.remove(0, kClipboardHeader + length);
        const QString decoded = QString::fromUtf8(text);
        QGuiApplication::clipboard()->setText(decoded, QClipboard::Clipboard);
        emit clipboardReceived(decoded);
        return ParseResult::Consumed;
    }
    case AckClipboard:
        if (available < kAckClipboardSize)
            return ParseResult::NeedMore;
        m_buffer.remove(0, kAckClipboardSize);
        return ParseResult::Consumed;
    case UhidOutput: {
        if (available < kUhidHeader)
            return ParseResult::NeedMore;
        const quint16 size = readBigEndian16(data + 3);
        if (available < kUhidHeader + qsizetype(size))
            return ParseResult::NeedMore;
        m_buffer.remove(0, kUhidHeader + size);
        return ParseResult::Consumed;
    }
    default:
        return ParseResult::Unframeable;
    }
}

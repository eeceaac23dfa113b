#pragma once
// Decoding of the control messages the computer sends to the phone-side server.
// Only the kinds this phone understands are decoded; any other type byte, or a length
// no real message can have, makes the stream unusable.
#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <optional>

struct ControlMessage
{
    enum Kind {
        InjectKeycode,
        InjectTouch,
        SetClipboard,
        RotateDevice,
        ResetVideo,
        Unknown,
        Invalid
    };
    Kind kind = Unknown;
    quint8 type = 0;
    // inject keycode
    int action = 0;
    qint32 keycode = 0;
    qint32 repeat = 0;
    qint32 metaState = 0;
    // inject touch (action is shared)
    quint64 pointerId = 0;
    qint32 x = 0;
    qint32 y = 0;
    quint16 screenWidth = 0;
    quint16 screenHeight = 0;
    quint16 pressure = 0;
    qint32 actionButton = 0;
    qint32 buttons = 0;
    // set clipboard
    quint64 sequence = 0;
    bool paste = false;
    QByteArray text;
    QString reason; // why an Invalid message is invalid

    bool endsSession() const { return kind == Unknown || kind == Invalid; }
    QJsonObject toJson() const;
};

// The largest control message the server accepts (256 KiB), so a clipboard text holds at
// most this minus its 14-byte head.
constexpr int kControlMessageMaxSize = 1 << 18;
constexpr int kClipboardTextMaxLength = kControlMessageMaxSize - 14;

// Takes one message from the front of the buffer; nullopt while more bytes are needed.
std::optional<ControlMessage> takeControlMessage(QByteArray &buffer);

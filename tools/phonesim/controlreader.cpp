#include "controlreader.h"

#include <QtEndian>

namespace {

template<typename T> T readBig(const QByteArray &bytes, int offset)
{
    return qFromBigEndian<T>(reinterpret_cast<const uchar *>(bytes.constData()) + offset);
}

double decodePressure(quint16 value)
{
    // 0xffff stands for 1.0; everything else is a 16-bit fraction.
    return value == 0xffff ? 1.0 : value / 65536.0;
}

} // namespace

std::optional<ControlMessage> takeControlMessage(QByteArray &buffer)
{
    if (buffer.isEmpty())
        return std::nullopt;
    ControlMessage message;
    message.type = quint8(buffer.at(0));
    int length = 0;
    switch (message.type) {
    case 0:
        message.kind = ControlMessage::InjectKeycode;
        length = 14;
        break;
    case 2:
        message.kind = ControlMessage::InjectTouch;
        length = 32;
        break;
    case 9: {
        message.kind = ControlMessage::SetClipboard;
        if (buffer.size() < 14)
            return std::nullopt;
        const quint32 textLength = readBig<quint32>(buffer, 10);
        if (textLength > quint32(kClipboardTextMaxLength)) {
            message.kind = ControlMessage::Invalid;
            message.reason = QStringLiteral("clipboard text of %1 bytes exceeds %2")
                                 .arg(textLength)
                                 .arg(kClipboardTextMaxLength);
            buffer.clear();
            return message;
        }
        length = 14 + int(textLength);
        break;
    }
    case 11:
        message.kind = ControlMessage::RotateDevice;
        length = 1;
        break;
    case 17:
        message.kind = ControlMessage::ResetVideo;
        length = 1;
        break;
    default:
        message.kind = ControlMessage::Unknown;
        buffer.clear();
        return message;
    }
    if (buffer.size() < length)
        return std::nullopt;

    switch (message.kind) {
    case ControlMessage::InjectKeycode:
        message.action = quint8(buffer.at(1));
        message.keycode = readBig<qint32>(buffer, 2);
        message.repeat = readBig<qint32>(buffer, 6);
        message.metaState = readBig<qint32>(buffer, 10);
        break;
    case ControlMessage::InjectTouch:
        message.action = quint8(buffer.at(1));
        message.pointerId = readBig<quint64>(buffer, 2);
        message.x = readBig<qint32>(buffer, 10);
        message.y = readBig<qint32>(buffer, 14);
        message.screenWidth = readBig<quint16>(buffer, 18);
        message.screenHeight = readBig<quint16>(buffer, 20);
        message.pressure = readBig<quint16>(buffer, 22);
        message.actionButton = readBig<qint32>(buffer, 24);
        message.buttons = readBig<qint32>(buffer, 28);
        break;
    case ControlMessage::SetClipboard:
        message.sequence = readBig<quint64>(buffer, 1);
        message.paste = buffer.at(9) != 0;
        message.text = buffer.mid(14, length - 14);
        break;
    default:
        break;
    }
    buffer.remove(0, length);
    return message;
}

QJsonObject ControlMessage::toJson() const
{
    switch (kind) {
    case InjectKeycode:
        return {{"type", "inject_keycode"},
                {"action", action},
                {"keycode", keycode},
                {"repeat", repeat},
                {"metaState", metaState}};
    case InjectTouch:
        return {{"type", "inject_touch_event"},
                {"action", action},
                {"pointerId", double(qint64(pointerId))},
                {"x", x},
                {"y", y},
                {"screenWidth", screenWidth},
                {"screenHeight", screenHeight},
                {"pressure", decodePressure(pressure)},
                {"pressureRaw", pressure},
                {"actionButton", actionButton},
                {"buttons", buttons}};
    case SetClipboard:
        return {{"type", "set_clipboard"},
                {"sequence", QString::number(sequence)},
                {"paste", paste},
                {"length", text.size()},
                {"text", QString::fromUtf8(text)}};
    case RotateDevice:
        return {{"type", "rotate_device"}};
    case ResetVideo:
        return {{"type", "reset_video"}};
    case Unknown:
        return {{"type", "unknown"}, {"code", type}};
    case Invalid:
        return {{"type", "invalid"}, {"code", type}, {"reason", reason}};
    }
    return {};
}

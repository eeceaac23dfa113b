#include "controlmsg.h"

#include <QtEndian>

namespace {

template<typename T> void appendBigEndian(QByteArray &out, T value)
{
    char bytes[sizeof(T)];
    qToBigEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

quint16 pressureToFixedPoint(float pressure)
{
    // Truncation toward zero; NaN and negatives give 0, everything from 1.0 up saturates.
    const double scaled = double(pressure) * 65536.0;
    if (!(scaled > 0.0))
        return 0;
    if (scaled >= 65535.0)
        return 0xFFFF;
    return quint16(scaled);
}

// At most kClipboardTextMaxLength UTF-16 code units and, since the phone rejects a longer
// message and ends the session, at most as many bytes of UTF-8.
QByteArray clipboardUtf8(const QString &text)
{
    QString limited = text.left(ControlMsg::kClipboardTextMaxLength);
    if (limited.size() < text.size() && limited.back().isHighSurrogate())
        limited.chop(1);
    QByteArray utf8 = limited.toUtf8();
    if (utf8.size() > ControlMsg::kClipboardTextMaxLength) {
        qsizetype cut = ControlMsg::kClipboardTextMaxLength;
        while (cut > 0 && (quint8(utf8.at(cut)) & 0xC0) == 0x80)
            --cut; // back to the first byte of the character that does not fit
        utf8.truncate(cut);
    }
    return utf8;
}

} // namespace

ControlMsg::ControlMsg(Type type) : m_type(type) {}

void ControlMsg::setInjectKeycode(int action, int keycode, int repeat, int metaState)
{
    m_keyAction = action;
    m_keycode = keycode;
    m_repeat = repeat;
    m_metaState = metaState;
}

void ControlMsg::setInjectTouchEvent(quint64 pointerId, int action, int actionButton, int buttons,
                                     const QRect &position, float pressure)
{
    m_pointerId = pointerId;
    m_touchAction = action;
    m_actionButton = actionButton;
    m_buttons = buttons;
    m_position = position;
    m_pressure = pressure;
}

void ControlMsg::setSetClipboard(const QString &text, bool paste)
{
    m_sequence = 0;
    if (text.isEmpty()) {
        m_text = QByteArray();
        m_paste = false;
        return;
    }
    m_text = clipboardUtf8(text);
    m_paste = paste;
}

QByteArray ControlMsg::serialize() const
{
    QByteArray out;
    out.append(char(quint8(m_type)));
    switch (m_type) {
    case InjectKeycode:
        out.reserve(14);
        out.append(char(quint8(m_keyAction)));
        appendBigEndian<qint32>(out, m_keycode);
        appendBigEndian<qint32>(out, m_repeat);
        appendBigEndian<qint32>(out, m_metaState);
        break;
    case InjectTouchEvent:
        out.reserve(32);
        out.append(char(quint8(m_touchAction)));
        appendBigEndian<quint64>(out, m_pointerId);
        appendBigEndian<qint32>(out, m_position.left());
        appendBigEndian<qint32>(out, m_position.top());
        appendBigEndian<quint16>(out, quint16(m_position.width()));
        appendBigEndian<quint16>(out, quint16(m_position.height()));
        appendBigEndian<quint16>(out, pressureToFixedPoint(m_pressure));
        appendBigEndian<qint32>(out, m_actionButton);
        appendBigEndian<qint32>(out, m_buttons);
        break;
    case SetClipboard:
        out.reserve(14 + m_text.size());
        appendBigEndian<quint64>(out, m_sequence);
        out.append(char(m_paste ? 1 : 0));
        appendBigEndian<quint32>(out, quint32(m_text.size()));
        out.append(m_text);
        break;
    case RotateDevice:
    case ResetVideo:
        break;
    }
    return out;
}

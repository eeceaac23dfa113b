#pragma once
// One host-to-phone control message of the phone-side server's protocol.
#include <QByteArray>
#include <QMetaType>
#include <QRect>
#include <QString>

class ControlMsg
{
public:
    enum Type : quint32 {
        InjectKeycode = 0,
        InjectTouchEvent = 2,
        SetClipboard = 9,
        RotateDevice = 11,
        ResetVideo = 17,
    };

    // The server's id for a generic finger (-2 as a signed value).
    static constexpr quint64 kGenericFingerPointerId = 0xFFFFFFFFFFFFFFFEull;
    // The phone takes at most this much clipboard text in one message (256 KiB less the
    // message head); longer texts are cut, never in the middle of a character.
    static constexpr int kClipboardTextMaxLength = 262130;

    explicit ControlMsg(Type type = InjectKeycode);

    Type type() const { return m_type; }

    void setInjectKeycode(int action, int keycode, int repeat, int metaState);
    // position: top-left is the touch point in frame pixels, size is the frame size.
    void setInjectTouchEvent(quint64 pointerId, int action, int actionButton, int buttons,
                             const QRect &position, float pressure);
    void setSetClipboard(const QString &text, bool paste);

    // Inject keycode.
    int keyAction() const { return m_keyAction; }
    int keycode() const { return m_keycode; }
    int repeat() const { return m_repeat; }
    int metaState() const { return m_metaState; }

    // Inject touch event.
    quint64 pointerId() const { return m_pointerId; }
    int touchAction() const { return m_touchAction; }
    int actionButton() const { return m_actionButton; }
    int buttons() const { return m_buttons; }
    QRect touchPosition() const { return m_position; }
    void setTouchPosition(const QRect &position) { m_position = position; }
    float pressure() const { return m_pressure; }

    QByteArray serialize() const;

private:
    Type m_type;

    int m_keyAction = 0;
    int m_keycode = 0;
    int m_repeat = 0;
    int m_metaState = 0;

    quint64 m_pointerId = 0;
    int m_touchAction = 0;
    int m_actionButton = 0;
    int m_buttons = 0;
    QRect m_position{QPoint(0, 0), QPoint(0, 0)}; // all four edges zero
    float m_pressure = 0.0f;

    quint64 m_sequence = 0;
    QByteArray m_text; // implicitly shared, copy-on-write: copies stay independent
    bool m_paste = false;
};

Q_DECLARE_METATYPE(ControlMsg)

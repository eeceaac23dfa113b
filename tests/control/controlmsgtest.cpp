// Wire encoding of the five control messages and their value semantics.
#include "controlmsg.h"
#include "testregistry.h"
#include "typeregistration.h"

#include <QtTest>

namespace {
QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

ControlMsg key(int action, int keycode, int metaState)
{
    ControlMsg msg(ControlMsg::InjectKeycode);
    msg.setInjectKeycode(action, keycode, 0, metaState);
    return msg;
}

ControlMsg touch(quint64 pointerId, int action, QRect position, float pressure)
{
    ControlMsg msg(ControlMsg::InjectTouchEvent);
    msg.setInjectTouchEvent(pointerId, action, 1, 1, position, pressure);
    return msg;
}

ControlMsg clipboard(const QString &text, bool paste)
{
    ControlMsg msg(ControlMsg::SetClipboard);
    msg.setSetClipboard(text, paste);
    return msg;
}
} // namespace

class ControlMsgTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { registerParvixTypes(); }

    void encoding_data()
    {
        QTest::addColumn<ControlMsg>("msg");
        QTest::addColumn<QByteArray>("expected");
        const auto row = [](const char *name, const ControlMsg &msg, const char *expected) {
            QTest::newRow(name) << msg << hex(expected);
        };
        const quint64 finger = ControlMsg::kGenericFingerPointerId;
        row("key A up, shift and ctrl", key(1, 29, 0x1001), "00 01 0000001D 00000000 00001001");
        row("key, meta bit and a wide code", key(0, 0x01020304, 0x10000),
            "00 00 01020304 00000000 00010000");
        // Touches end in the action button and the buttons, both 1.
        row("touch down, finger, full pressure",
            touch(finger, 0, QRect(100, 200, 1080, 2400), 1.0f),
            "02 00 FFFFFFFFFFFFFFFE 00000064 000000C8 0438 0960 FFFF");
        row("pressure above one saturates", touch(3, 2, QRect(0, 0, 720, 1600), 1.7f),
            "02 02 0000000000000003 00000000 00000000 02D0 0640 FFFF");
        row("negative pressure is zero", touch(0, 1, QRect(5, 6, 720, 1600), -0.5f),
            "02 01 0000000000000000 00000005 00000006 02D0 0640 0000");
        row("half pressure truncates, negative x", touch(9, 0, QRect(-4, 7, 64, 48), 0.5f),
            "02 00 0000000000000009 FFFFFFFC 00000007 0040 0030 8000");
        // A rectangle given by its corners: the size still comes from its edges.
        row("touch from corners", touch(0, 0, QRect(QPoint(10, 20), QPoint(1089, 2419)), 0.0f),
            "02 00 0000000000000000 0000000A 00000014 0438 0960 0000");
        row("clipboard without paste", clipboard("abc", false),
            "09 0000000000000000 00 00000003 616263");
        row("empty text drops paste", clipboard("", true), "09 0000000000000000 00 00000000");
        row("chinese is utf-8", clipboard(QString::fromUtf8("你好"), true),
            "09 0000000000000000 01 00000006 E4BDA0 E5A5BD");
        row("rotate", ControlMsg(ControlMsg::RotateDevice), "0B");
        row("reset video", ControlMsg(ControlMsg::ResetVideo), "11");
    }
    void encoding()
    {
        QFETCH(ControlMsg, msg);
        QFETCH(QByteArray, expected);
        if (msg.type() == ControlMsg::InjectTouchEvent)
            expected += hex("00000001 00000001");
        QCOMPARE(msg.serialize().toHex(' '), expected.toHex(' '));
        QCOMPARE(msg.serialize(), expected); // serialising leaves the message unchanged
    }

    // Cut to 262130 bytes on whole characters, surrogate pairs included.
    void clipboardCutKeepsWithinTheLimit()
    {
        const QString emoji = QString::fromUtf8("😀");
        const QList<QPair<QString, QByteArray>> cases{
            {QString(300000, QChar('x')), QByteArray(262130, 'x')},
            {QString(262130, QChar(0x4E2D)), QString(87376, QChar(0x4E2D)).toUtf8()},
            {emoji.repeated(70000), emoji.repeated(65532).toUtf8()},
            {QString(262129, QChar('y')) + emoji, QByteArray(262129, 'y')}};
        for (const auto &[text, kept] : cases) {
            const ControlMsg msg = clipboard(text, true);
            QCOMPARE(msg.clipboardText(), kept);
            const QByteArray bytes = msg.serialize();
            QCOMPARE(qFromBigEndian<quint32>(bytes.constData() + 10), quint32(kept.size()));
            QCOMPARE(bytes.size(), 14 + kept.size());
            QVERIFY(msg.paste());
        }
    }

    void copiesAreIndependent()
    {
        ControlMsg original = clipboard("first", true);
        ControlMsg copy = original;
        QVariant boxed = QVariant::fromValue(original); // as queued signals carry it
        QVERIFY(QMetaType::fromName("ControlMsg").isValid());
        original.setSetClipboard(QString::fromUtf8("第二"), false);
        QCOMPARE(copy.serialize(), hex("09 0000000000000000 01 00000005") + "first");
        QCOMPARE(boxed.value<ControlMsg>().clipboardText(), QByteArray("first"));

        ControlMsg down = touch(1, 0, QRect(1, 2, 100, 200), 1.0f);
        ControlMsg moved = down;
        moved.setTouchPosition(QRect(50, 60, 300, 400));
        QCOMPARE(down.touchPosition(), QRect(1, 2, 100, 200));
        QCOMPARE(moved.pointerId(), quint64(1));
    }
};

PARVIX_TEST(ControlMsgTest)
#include "controlmsgtest.moc"

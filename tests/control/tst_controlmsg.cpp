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
} // namespace

class ControlMsgTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { registerParvixTypes(); }

    void keycodeEncoding_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("keycode");
        QTest::addColumn<int>("metaState");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("home down") << 0 << 3 << 0 << hex("00 00 00000003 00000000 00000000");
        QTest::newRow("A up with shift and ctrl")
            << 1 << 29 << 0x1001 << hex("00 01 0000001D 00000000 00001001");
        QTest::newRow("meta bit and a wide key code")
            << 0 << 0x01020304 << 0x10000 << hex("00 00 01020304 00000000 00010000");
    }
    void keycodeEncoding()
    {
        QFETCH(int, action);
        QFETCH(int, keycode);
        QFETCH(int, metaState);
        QFETCH(QByteArray, expected);
        ControlMsg msg(ControlMsg::InjectKeycode);
        msg.setInjectKeycode(action, keycode, 0, metaState);
        QCOMPARE(msg.serialize().toHex(' '), expected.toHex(' '));
    }

    void touchEncoding_data()
    {
        QTest::addColumn<quint64>("pointerId");
        QTest::addColumn<int>("action");
        QTest::addColumn<QRect>("position");
        QTest::addColumn<float>("pressure");
        QTest::addColumn<QByteArray>("expected");
        const QRect at100x200(100, 200, 1080, 2400);
        QTest::newRow("down, finger, full pressure")
            << ControlMsg::kGenericFingerPointerId << 0 << at100x200 << 1.0f
            << hex("02 00 FFFFFFFFFFFFFFFE 00000064 000000C8 0438 0960 FFFF 00000001 00000001");
        QTest::newRow("up, no pressure")
            << ControlMsg::kGenericFingerPointerId << 1 << at100x200 << 0.0f
            << hex("02 01 FFFFFFFFFFFFFFFE 00000064 000000C8 0438 0960 0000 00000001 00000001");
        QTest::newRow("pressure above one saturates")
            << quint64(3) << 2 << QRect(0, 0, 720, 1600) << 1.7f
            << hex("02 02 0000000000000003 00000000 00000000 02D0 0640 FFFF 00000001 00000001");
        QTest::newRow("negative pressure is zero")
            << quint64(0) << 0 << QRect(5, 6, 720, 1600) << -0.5f
            << hex("02 00 0000000000000000 00000005 00000006 02D0 0640 0000 00000001 00000001");
        QTest::newRow("half pressure truncates")
            << quint64(9) << 0 << QRect(-4, 7, 64, 48) << 0.5f
            << hex("02 00 0000000000000009 FFFFFFFC 00000007 0040 0030 8000 00000001 00000001");
    }
    void touchEncoding()
    {
        QFETCH(quint64, pointerId);
        QFETCH(int, action);
        QFETCH(QRect, position);
        QFETCH(float, pressure);
        QFETCH(QByteArray, expected);
        ControlMsg msg(ControlMsg::InjectTouchEvent);
        msg.setInjectTouchEvent(pointerId, action, 1, 1, position, pressure);
        const QByteArray bytes = msg.serialize();
        QCOMPARE(bytes.size(), 32);
        QCOMPARE(bytes.toHex(' '), expected.toHex(' '));
    }

    void touchScreenSizeComesFromTheRectangleEdges()
    {
        // A rectangle given by its corners: right = left + width - 1.
        ControlMsg msg(ControlMsg::InjectTouchEvent);
        msg.setInjectTouchEvent(0, 0, 0, 0, QRect(QPoint(10, 20), QPoint(10 + 1079, 20 + 2399)),
                                1.0f);
        const QByteArray bytes = msg.serialize();
        QCOMPARE(bytes.mid(18, 4).toHex(), QByteArray("04380960"));
    }

    void clipboardEncoding_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("paste");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("abc with paste")
            << "abc" << true << hex("09 0000000000000000 01 00000003 616263");
        QTest::newRow("abc without paste")
            << "abc" << false << hex("09 0000000000000000 00 00000003 616263");
        QTest::newRow("empty text drops paste")
            << "" << true << hex("09 0000000000000000 00 00000000");
        QTest::newRow("chinese is utf-8") << QString::fromUtf8("你好") << true
                                          << hex("09 0000000000000000 01 00000006 E4BDA0 E5A5BD");
    }
    void clipboardEncoding()
    {
        QFETCH(QString, text);
        QFETCH(bool, paste);
        QFETCH(QByteArray, expected);
        ControlMsg msg(ControlMsg::SetClipboard);
        msg.setSetClipboard(text, paste);
        QCOMPARE(msg.serialize().toHex(' '), expected.toHex(' '));
    }

    void clipboardCutKeepsWithinTheLimit()
    {
        ControlMsg ascii(ControlMsg::SetClipboard);
        ascii.setSetClipboard(QString(300000, QChar('x')), true);
        QByteArray bytes = ascii.serialize();
        QCOMPARE(qFromBigEndian<quint32>(bytes.constData() + 10), 262130u);
        QCOMPARE(bytes.size(), 14 + 262130);
        QVERIFY(ascii.paste());

        ControlMsg exact(ControlMsg::SetClipboard);
        exact.setSetClipboard(QString(262130, QChar('e')), true);
        QCOMPARE(exact.clipboardText().size(), 262130);

        // Three bytes per character: as many whole characters as fit in 262130 bytes.
        ControlMsg wide(ControlMsg::SetClipboard);
        wide.setSetClipboard(QString(262130, QChar(0x4E2D)), true);
        bytes = wide.serialize();
        QCOMPARE(qFromBigEndian<quint32>(bytes.constData() + 10), 87376u * 3);
        QCOMPARE(QString::fromUtf8(wide.clipboardText()), QString(87376, QChar(0x4E2D)));

        // Four-byte characters (surrogate pairs) are never split either.
        const QString emoji = QString::fromUtf8("😀");
        QString many;
        for (int i = 0; i < 70000; ++i)
            many += emoji;
        ControlMsg pairs(ControlMsg::SetClipboard);
        pairs.setSetClipboard(many, true);
        QCOMPARE(pairs.clipboardText().size(), 65532 * 4);
        QVERIFY(QString::fromUtf8(pairs.clipboardText()).endsWith(emoji));

        // A pair straddling the code-unit limit is dropped whole.
        ControlMsg straddling(ControlMsg::SetClipboard);
        straddling.setSetClipboard(QString(262129, QChar('y')) + emoji, true);
        QCOMPARE(straddling.clipboardText(), QByteArray(262129, 'y'));
    }

    void singleByteMessages()
    {
        QCOMPARE(ControlMsg(ControlMsg::RotateDevice).serialize(), hex("0B"));
        QCOMPARE(ControlMsg(ControlMsg::ResetVideo).serialize(), hex("11"));
    }

    void newMessageHasZeroPayload()
    {
        const QByteArray key = ControlMsg(ControlMsg::InjectKeycode).serialize();
        QCOMPARE(key, QByteArray(14, '\0'));
        const QByteArray clip = ControlMsg(ControlMsg::SetClipboard).serialize();
        QCOMPARE(clip, hex("09 0000000000000000 00 00000000"));
    }

    void copiesAreIndependent()
    {
        ControlMsg original(ControlMsg::SetClipboard);
        original.setSetClipboard("first", true);
        ControlMsg copy = original;
        original.setSetClipboard(QString::fromUtf8("第二"), false);
        QCOMPARE(copy.clipboardText(), QByteArray("first"));
        QVERIFY(copy.paste());
        QCOMPARE(copy.serialize(), hex("09 0000000000000000 01 00000005") + "first");

        ControlMsg touch(ControlMsg::InjectTouchEvent);
        touch.setInjectTouchEvent(1, 0, 1, 1, QRect(1, 2, 100, 200), 1.0f);
        ControlMsg moved = touch;
        moved.setTouchPosition(QRect(50, 60, 300, 400));
        QCOMPARE(touch.touchPosition(), QRect(1, 2, 100, 200));
    }

    void serialisingLeavesTheMessageUnchanged()
    {
        ControlMsg msg(ControlMsg::InjectTouchEvent);
        msg.setInjectTouchEvent(7, 2, 4, 5, QRect(3, 4, 10, 20), 0.25f);
        const QByteArray first = msg.serialize();
        QCOMPARE(msg.serialize(), first);
        QCOMPARE(msg.pointerId(), quint64(7));
        QCOMPARE(msg.touchPosition(), QRect(3, 4, 10, 20));
    }

    void travelsThroughQueuedSignalsAsMetaType()
    {
        const QMetaType type = QMetaType::fromName("ControlMsg");
        QVERIFY(type.isValid());
        ControlMsg msg(ControlMsg::SetClipboard);
        msg.setSetClipboard("queued", true);
        QVariant boxed = QVariant::fromValue(msg);
        msg.setSetClipboard("changed", true);
        QCOMPARE(boxed.value<ControlMsg>().clipboardText(), QByteArray("queued"));
    }
};

PARVIX_TEST(ControlMsgTest)
#include "tst_controlmsg.moc"

// The phone's messages on the control connection, fed with exact read boundaries.
#include "devicemessagereceiver.h"
#include "h264teststream.h"
#include "testregistry.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QIODevice>
#include <QSignalSpy>
#include <QtEndian>
#include <QtTest>

namespace {
QByteArray bigEndian32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray clipboardMessage(const QByteArray &text)
{
    return QByteArray(1, '\0') + bigEndian32(quint32(text.size())) + text;
}

// An acknowledgement (type 1, 8-byte sequence) and a keyboard output (type 2, id, length, data).
QByteArray ackMessage()
{
    return QByteArray("\x01\x01\x02\x03\x04\x05\x06\x07\x08", 9);
}

QByteArray uhidOutputMessage(const QByteArray &data)
{
    QByteArray bytes("\x02\x00\x03\x00\x00", 5);
    qToBigEndian(quint16(data.size()), bytes.data() + 3);
    return bytes + data;
}

QString clipboardText()
{
    return QGuiApplication::clipboard()->text(QClipboard::Clipboard);
}
} // namespace

class DeviceMessageReceiverTest : public QObject
{
    Q_OBJECT

private:
    FeedDevice *m_device = nullptr;
    DeviceMessageReceiver *m_receiver = nullptr;

private slots:
    void init()
    {
        QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
        QCOMPARE(clipboardText(), QStringLiteral("untouched"));
        m_device = new FeedDevice;
        m_receiver = new DeviceMessageReceiver(nullptr, m_device);
    }

    void cleanup()
    {
        delete m_receiver;
        delete m_device;
    }

    void reads_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("chunk");        // read by read; 0: all in one read
        QTest::addColumn<QString>("expected"); // a null string: no clipboard change
        QTest::newRow("zero byte ends the text")
            << clipboardMessage(QByteArray("a\0b", 3)) << 0 << QStringLiteral("a");
        QTest::newRow("empty text empties the clipboard")
            << clipboardMessage(QByteArray()) << 0 << QStringLiteral("");
        QTest::newRow("utf-8") << clipboardMessage(QStringLiteral("你好, wörld").toUtf8()) << 0
                               << QStringLiteral("你好, wörld");
        const QByteArray largest(DeviceMessageReceiver::kMaxClipboardBytes, 'z');
        QTest::newRow("largest text")
            << clipboardMessage(largest) << 0 << QString::fromLatin1(largest);
        // Bytes that cannot be framed are dropped.
        QTest::newRow("unknown type")
            << QByteArray("\x07") + clipboardMessage("hidden") << 0 << QString();
        QTest::newRow("length above the limit")
            << QByteArray(1, '\0') + bigEndian32(DeviceMessageReceiver::kMaxClipboardBytes + 1) +
                   clipboardMessage("hidden")
            << 0 << QString();
        // A split message waits for the rest; some cuts fall inside a multi-byte character.
        const QByteArray split = clipboardMessage(QStringLiteral("复制的文字").toUtf8());
        for (int chunk : {1, 3, 5})
            QTest::addRow("in reads of %d bytes", chunk) << split << chunk << "复制的文字";
    }

    void reads()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, chunk);
        QFETCH(QString, expected);
        QSignalSpy received(m_receiver, &DeviceMessageReceiver::clipboardReceived);
        const int step = chunk ? chunk : int(bytes.size());
        for (int offset = 0; offset < bytes.size(); offset += step) {
            QCOMPARE(clipboardText(), QStringLiteral("untouched"));
            m_device->feed(bytes.mid(offset, step));
        }
        QCOMPARE(clipboardText(), expected.isNull() ? QStringLiteral("untouched") : expected);
        QCOMPARE(received.count(), expected.isNull() ? 0 : 1);
        QCOMPARE(m_receiver->pendingBytes(), 0);
        // The next read starts clean.
        m_device->feed(clipboardMessage("next"));
        QCOMPARE(clipboardText(), QStringLiteral("next"));
    }

    void joinedAndSplitMessagesOfEveryKind()
    {
        QSignalSpy received(m_receiver, &DeviceMessageReceiver::clipboardReceived);
        // A whole message and the first half of the next one in one read.
        const QByteArray second = clipboardMessage("second");
        m_device->feed(clipboardMessage("first") + ackMessage() + second.left(4));
        QCOMPARE(received.count(), 1);
        QCOMPARE(clipboardText(), QStringLiteral("first"));
        m_device->feed(second.mid(4) + uhidOutputMessage("xyz") + clipboardMessage("third"));
        QCOMPARE(received.count(), 3);
        QCOMPARE(received.at(1).at(0).toString(), QStringLiteral("second"));
        QCOMPARE(clipboardText(), QStringLiteral("third"));

        // Other kinds are skipped even when cut anywhere.
        const QByteArray ack = ackMessage();
        const QByteArray uhid = uhidOutputMessage(QByteArray(300, 'u'));
        m_device->feed(ack.left(5));
        m_device->feed(ack.mid(5) + uhid.left(4));
        m_device->feed(uhid.mid(4, 100));
        QCOMPARE(received.count(), 3);
        QVERIFY(m_receiver->pendingBytes() > 0);
        m_device->feed(uhid.mid(104) + clipboardMessage("after"));
        QCOMPARE(received.count(), 4);
        QCOMPARE(clipboardText(), QStringLiteral("after"));
        QCOMPARE(m_receiver->pendingBytes(), 0);
    }

    void goneSocketIsNotRead()
    {
        delete m_device;
        m_device = nullptr;
        m_receiver->handleIncomingData(); // must not touch the deleted device
        QCOMPARE(m_receiver->pendingBytes(), 0);
    }
};

PARVIX_TEST(DeviceMessageReceiverTest)
#include "devicemessagereceivertest.moc"

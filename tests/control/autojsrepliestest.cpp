// The reader of the AutoJS app's reply frames: 8-byte header (length, kind), then the payload.
#include "autojs.h"
#include "testregistry.h"

#include <QtTest>

namespace {
QByteArray reply(const QByteArray &payload, quint32 kind = 1)
{
    QByteArray header(8, '\0');
    qToBigEndian<quint32>(quint32(payload.size()), header.data());
    qToBigEndian<quint32>(kind, header.data() + 4);
    return header + payload;
}
} // namespace

class AutojsRepliesTest : public QObject
{
    Q_OBJECT

private slots:
    void framesAcrossAndWithinReads_data()
    {
        QTest::addColumn<int>("chunkSize");
        QTest::newRow("one read") << 0;
        QTest::newRow("byte by byte") << 1;
        QTest::newRow("header split from payload") << 8;
        QTest::newRow("odd pieces") << 13;
    }

    void framesAcrossAndWithinReads()
    {
        QFETCH(int, chunkSize);
        const QByteArray stream = reply(R"({"type":"hello","data":{"device_name":"Pixel 7"}})") +
                                  reply("raw bytes", 2) + reply("not json") + reply("") +
                                  reply(R"({"type":"log","data":{"log":"done"}})");
        QByteArray buffer;
        QStringList types;
        const int step = chunkSize == 0 ? int(stream.size()) : chunkSize;
        for (int offset = 0; offset < stream.size(); offset += step) {
            buffer.append(stream.mid(offset, step));
            types += Autojs::parseReplies(buffer);
        }
        // Kind 2 carries no JSON; a payload that is no JSON object has no type.
        QCOMPARE(types, QStringList({"hello", "", "", "log"}));
        QVERIFY(buffer.isEmpty());
    }

    void incompleteFrameStaysForTheNextRead()
    {
        const QByteArray frame = reply(R"({"type":"command"})");
        QByteArray buffer = reply(R"({"type":"hello"})") + frame.left(frame.size() - 1);
        QCOMPARE(Autojs::parseReplies(buffer), QStringList{"hello"});
        QCOMPARE(buffer, frame.left(frame.size() - 1));
        buffer.append(frame.right(1));
        QCOMPARE(Autojs::parseReplies(buffer), QStringList{"command"});
        QVERIFY(buffer.isEmpty());
    }

    void impossibleLengthDropsWhatIsBuffered()
    {
        // A length over 16 MiB: the stream is out of step and nothing after it can be framed.
        QByteArray buffer = reply(R"({"type":"hello"})") +
                            QByteArray::fromHex("01000001 00000001") + reply(R"({"type":"log"})");
        QCOMPARE(Autojs::parseReplies(buffer), QStringList{"hello"});
        QVERIFY(buffer.isEmpty());
        // Exactly 16 MiB is still a length a reply may have: it waits for the payload.
        buffer = QByteArray::fromHex("01000000 00000001") + "{";
        QCOMPARE(Autojs::parseReplies(buffer), QStringList());
        QCOMPARE(buffer.size(), 9);
    }
};

PARVIX_TEST(AutojsRepliesTest)
#include "autojsrepliestest.moc"

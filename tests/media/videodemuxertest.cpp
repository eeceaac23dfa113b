#include "videodemuxer.h"
#include "h264teststream.h"
#include "recordingdemuxer.h"
#include "testregistry.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {
using Demuxer = RecordingDemuxer<VideoDemuxer>;

QByteArray header(const QByteArray &name = "Pixel 7")
{
    return Wire::videoHeader(name, "h264", 1080, 2400);
}

WirePacket packet(const QByteArray &payload, quint64 ptsAndFlags = 0)
{
    return {payload, ptsAndFlags};
}

QByteArray nal(int size, char fill)
{
    // Starts with a start code, so the payload is handed on unchanged.
    return QByteArray::fromHex("00000001") + QByteArray(size, fill);
}
} // namespace

class VideoDemuxerTest : public QObject
{
    Q_OBJECT

private slots:
    void headerAndPacketsInAnyPieces_data()
    {
        QTest::addColumn<int>("chunkSize");
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("byte by byte, UTF-8 name") << 1 << QString("测试手机 1").toUtf8();
        QTest::newRow("one block, name fills the field") << 0 << QByteArray(64, 'N');
    }

    void headerAndPacketsInAnyPieces()
    {
        QFETCH(int, chunkSize);
        QFETCH(QByteArray, name);
        const QVector<WirePacket> sent{packet(nal(3, 'a'), Wire::Config),
                                       packet(nal(500, 'b'), Wire::KeyFrame | 33333),
                                       packet(nal(20, 'c'), 66666)};
        const QByteArray stream = header(name) + Wire::frames(sent);
        FeedDevice socket;
        Demuxer demuxer(&socket, nullptr, nullptr);

        if (chunkSize == 0)
            socket.feed(stream);
        else
            socket.feedInPieces(stream, chunkSize);

        QVERIFY(demuxer.isHeaderRead());
        QCOMPARE(demuxer.deviceName(), QString::fromUtf8(name));
        QCOMPARE(demuxer.codecId(), QByteArray("h264"));
        QCOMPARE(demuxer.width(), 1080);
        QCOMPARE(demuxer.height(), 2400);
        QCOMPARE(demuxer.packets.size(), sent.size());
        for (int i = 0; i < sent.size(); ++i)
            QCOMPARE(demuxer.packets[i].data, sent[i].payload);
        QCOMPARE(demuxer.packets[1].pts, 33333);
        QCOMPARE(demuxer.packets[2].pts, 66666);
        socket.feed(QByteArray());
        QCOMPARE(demuxer.packets.size(), sent.size());
    }

    void sizesOutOfRangeDropOnlyTheirTwelveHeaderBytes()
    {
        FeedDevice socket;
        Demuxer demuxer(&socket, nullptr, nullptr);
        QByteArray big = nal(0x800000 - 4, 'L');
        big[100] = 'M';
        // The bytes after a bad header are read as the next frame header.
        socket.feed(header() + Wire::frameHeader(Wire::KeyFrame | 1, 0) +
                    Wire::frameHeader(1, 0x800001) + Wire::frameHeader(1, 0xffffffffu) +
                    Wire::frame(packet(big, 9)) + Wire::frame(packet(nal(4, 'q'), 2)));
        QCOMPARE(demuxer.packets.size(), 2);
        QCOMPARE(demuxer.packets[0].data, big);
        QCOMPARE(demuxer.packets[0].pts, 9);
        QCOMPARE(demuxer.packets[1].data, nal(4, 'q'));
    }

    void atMost200PacketsPerReadAndTheRestWithoutNewBytes()
    {
        FeedDevice socket;
        Demuxer demuxer(&socket, nullptr, nullptr);
        QVector<WirePacket> sent;
        for (int i = 0; i < 250; ++i)
            sent.append(packet(nal(8, char(i)), quint64(i)));
        socket.feed(header() + Wire::frames(sent));
        QCOMPARE(demuxer.packets.size(), 200);
        QCOMPARE(demuxer.packets.last().pts, 199);

        // No further readyRead comes for bytes already received.
        QTRY_COMPARE(demuxer.packets.size(), 250);
        for (int i = 0; i < 250; ++i)
            QCOMPARE(demuxer.packets[i].pts, i);
        QCoreApplication::processEvents();
        QCOMPARE(demuxer.packets.size(), 250);
    }

    void startCodeIsAddedOnlyWhenMissing_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("expected");
        const auto hex = [](const char *h) { return QByteArray::fromHex(h); };
        QTest::newRow("bare NAL") << hex("6588840001") << hex("000000016588840001");
        QTest::newRow("4-byte start code") << hex("0000000167aa") << hex("0000000167aa");
        QTest::newRow("3-byte start code") << hex("0000016588") << hex("0000016588");
        QTest::newRow("4 bytes are never changed") << hex("65888400") << hex("65888400");
        QTest::newRow("one byte") << hex("65") << hex("65");
        QTest::newRow("first byte not zero") << hex("0100000165") << hex("000000010100000165");
        QTest::newRow("second byte not zero") << hex("0001000165") << hex("000000010001000165");
        QTest::newRow("00 00 then 02") << hex("0000026588") << hex("000000010000026588");
    }

    void startCodeIsAddedOnlyWhenMissing()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, expected);
        FeedDevice socket;
        Demuxer demuxer(&socket, nullptr, nullptr);
        socket.feed(header() + Wire::frame(packet(payload, 1)));
        QCOMPARE(demuxer.packets.size(), 1);
        QCOMPARE(demuxer.packets[0].data.toHex(), expected.toHex());
    }

    void timestampsAndFlags_data()
    {
        QTest::addColumn<QByteArray>("ptsBytes");
        QTest::addColumn<qint64>("pts");
        QTest::addColumn<bool>("key");
        const auto hex = [](const char *h) { return QByteArray::fromHex(h); };
        QTest::newRow("config") << hex("8000000000000000") << qint64(AV_NOPTS_VALUE) << false;
        QTest::newRow("config with time")
            << hex("80000000000F4240") << qint64(AV_NOPTS_VALUE) << false;
        QTest::newRow("key frame") << hex("40000000000F4240") << qint64(1000000) << true;
        QTest::newRow("config and key")
            << hex("C000000000000001") << qint64(AV_NOPTS_VALUE) << true;
        QTest::newRow("plain") << hex("00000000000F4240") << qint64(1000000) << false;
        QTest::newRow("all 62 time bits")
            << hex("3FFFFFFFFFFFFFFF") << qint64(0x3FFFFFFFFFFFFFFF) << false;
    }

    void timestampsAndFlags()
    {
        QFETCH(QByteArray, ptsBytes);
        QFETCH(qint64, pts);
        QFETCH(bool, key);
        FeedDevice socket;
        Demuxer demuxer(&socket, nullptr, nullptr);
        const QByteArray payload = nal(6, 'k');
        socket.feed(header() + ptsBytes + Wire::frameHeader(0, quint32(payload.size())).mid(8) +
                    payload);
        QCOMPARE(demuxer.packets.size(), 1);
        QCOMPARE(demuxer.packets[0].pts, pts);
        QCOMPARE(demuxer.packets[0].dts, pts);
        QCOMPARE(bool(demuxer.packets[0].flags & AV_PKT_FLAG_KEY), key);
    }

    void onlyH264IsTaken_data()
    {
        QTest::addColumn<QByteArray>("codecId");
        QTest::addColumn<bool>("taken");
        QTest::newRow("h264") << QByteArray("h264") << true;
        // Each of these names a decoder FFmpeg has; none may run on the phone's bytes.
        QTest::newRow("hevc") << QByteArray("hevc") << false;
        QTest::newRow("png, zero padded") << QByteArray("png\0", 4) << false;
        QTest::newRow("upper case") << QByteArray("H264") << false;
        QTest::newRow("zeros") << QByteArray(4, '\0') << false;
    }

    void onlyH264IsTaken()
    {
        QFETCH(QByteArray, codecId);
        QFETCH(bool, taken);
        FeedDevice socket;
        auto demuxer = std::make_unique<Demuxer>(&socket, nullptr, nullptr);
        QPointer<Demuxer> alive(demuxer.get());
        QSignalSpy refused(demuxer.get(), &VideoDemuxer::unsupportedCodec);
        // The session ends on the signal, which deletes the demuxer in the middle of its read.
        int packetsWhenRefused = -1;
        QObject scope;
        connect(demuxer.get(), &VideoDemuxer::unsupportedCodec, &scope, [&] {
            packetsWhenRefused = int(demuxer->packets.size());
            demuxer.reset();
        });
        const QVector<WirePacket> sent{packet(nal(3, 'a'), Wire::Config),
                                       packet(nal(50, 'b'), Wire::KeyFrame | 1)};
        socket.feed(Wire::videoHeader("Pixel 7", codecId, 1080, 2400) + Wire::frames(sent));

        if (taken) {
            QCOMPARE(refused.count(), 0);
            QVERIFY(demuxer->codecContext());
            QCOMPARE(demuxer->packets.size(), sent.size());
            return;
        }
        QCOMPARE(refused.count(), 1);
        QCOMPARE(packetsWhenRefused, 0);
        QVERIFY(!alive);
        socket.feed(Wire::frames(sent)); // nobody listens any more
    }

    void aDeletedSocketEndsReading()
    {
        auto *socket = new FeedDevice;
        Demuxer demuxer(socket, nullptr, nullptr);
        socket->feed(header() + Wire::frame(packet(nal(3, 'a'), 1)));
        delete socket;
        demuxer.read();
        QCOMPARE(demuxer.packets.size(), 1);
    }
};

PARVIX_TEST(VideoDemuxerTest)
#include "videodemuxertest.moc"

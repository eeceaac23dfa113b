// The phone's video and audio connections read into packets: headers in any pieces, codecs
// taken or refused, start codes, times and flags, and the limits on sizes and on each read.
#include "audiodemuxer.h"
#include "h264teststream.h"
#include "testregistry.h"

#include <QtTest>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {
struct SeenPacket
{
    QByteArray data;
    qint64 pts = 0;
    qint64 dts = 0;
    int flags = 0;
};

// A demuxer that remembers every packet it hands on.
template<class Demuxer> class RecordingDemuxer : public Demuxer
{
public:
    using Demuxer::Demuxer;
    QVector<SeenPacket> packets;

protected:
    void handOn(AVPacket *packet) override
    {
        packets.append({QByteArray(reinterpret_cast<const char *>(packet->data), packet->size),
                        packet->pts, packet->dts, packet->flags});
        Demuxer::handOn(packet);
    }
};

using VDemuxer = RecordingDemuxer<VideoDemuxer>;
using ADemuxer = RecordingDemuxer<AudioDemuxer>;

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

QByteArray codecId(quint32 id)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(id, bytes.data());
    return bytes;
}
} // namespace

class DemuxerTest : public QObject
{
    Q_OBJECT

private slots:
    // A size out of range drops only its twelve header bytes: what follows is read as the next
    // frame header. At most 200 packets per read, the rest without new bytes.
    void videoPacketLimits()
    {
        FeedDevice socket;
        VDemuxer demuxer(&socket, nullptr, nullptr);
        QByteArray big = nal(0x800000 - 4, 'L');
        big[100] = 'M';
        QVector<WirePacket> sent{packet(big, 0)};
        for (int i = 1; i < 250; ++i)
            sent.append(packet(nal(8, char(i)), quint64(i)));
        socket.feed(header() + Wire::frameHeader(Wire::KeyFrame | 1, 0) +
                    Wire::frameHeader(1, 0x800001) + Wire::frameHeader(1, 0xffffffffu) +
                    Wire::frames(sent));
        QCOMPARE(demuxer.packets.size(), 200);
        QCOMPARE(demuxer.packets[0].data, big);
        QCOMPARE(demuxer.packets.last().pts, 199);
        // No further readyRead comes for bytes already received.
        QTRY_COMPARE(demuxer.packets.size(), 250);
        for (int i = 0; i < 250; ++i)
            QCOMPARE(demuxer.packets[i].pts, i);
        QCOMPARE(demuxer.packets[1].data, nal(8, char(1)));
        QCoreApplication::processEvents();
        QCOMPARE(demuxer.packets.size(), 250);
    }

    // One packet: its start code added only when missing, its time and flags.
    void videoPacket_data()
    {
        QTest::addColumn<QByteArray>("ptsBytes");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<qint64>("pts");
        QTest::addColumn<bool>("key");
        const auto row = [](const char *name, const char *payload, const char *data,
                            const char *ptsBytes = "00000000000F4240", qint64 pts = 1000000,
                            bool key = false) {
            QTest::newRow(name) << QByteArray::fromHex(ptsBytes) << QByteArray::fromHex(payload)
                                << QByteArray::fromHex(data) << pts << key;
        };
        row("bare NAL", "6588840001", "000000016588840001");
        row("4-byte start code", "0000000167aa", "0000000167aa");
        row("3-byte start code", "0000016588", "0000016588");
        row("4 bytes are never changed", "65888400", "65888400");
        row("one byte", "65", "65");
        row("first byte not zero", "0100000165", "000000010100000165");
        row("second byte not zero", "0001000165", "000000010001000165");
        row("00 00 then 02", "0000026588", "000000010000026588");
        const char *nal = "000000016b6b";
        row("config", nal, nal, "8000000000000000", AV_NOPTS_VALUE);
        row("config with time", nal, nal, "80000000000F4240", AV_NOPTS_VALUE);
        row("key frame", nal, nal, "40000000000F4240", 1000000, true);
        row("config and key", nal, nal, "C000000000000001", AV_NOPTS_VALUE, true);
        row("all 62 time bits", nal, nal, "3FFFFFFFFFFFFFFF", 0x3FFFFFFFFFFFFFFF);
    }

    void videoPacket()
    {
        QFETCH(QByteArray, ptsBytes);
        QFETCH(QByteArray, payload);
        QFETCH(qint64, pts);
        FeedDevice socket;
        VDemuxer demuxer(&socket, nullptr, nullptr);
        socket.feed(header() + ptsBytes + Wire::frameHeader(0, quint32(payload.size())).mid(8) +
                    payload);
        QCOMPARE(demuxer.packets.size(), 1);
        QTEST(demuxer.packets[0].data, "data");
        QCOMPARE(demuxer.packets[0].pts, pts);
        QCOMPARE(demuxer.packets[0].dts, pts);
        QTEST(bool(demuxer.packets[0].flags & AV_PKT_FLAG_KEY), "key");
    }

    void videoHeaderAndPacketsInAnyPiecesOnlyForH264_data()
    {
        QTest::addColumn<QByteArray>("codecId");
        QTest::addColumn<int>("chunkSize"); // 0: one block
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("byte by byte, UTF-8 name")
            << QByteArray("h264") << 1 << QString("测试手机 1").toUtf8();
        QTest::newRow("name fills the field") << QByteArray("h264") << 0 << QByteArray(64, 'N');
        // Each of these names a decoder FFmpeg has; none may run on the phone's bytes.
        QTest::newRow("hevc") << QByteArray("hevc") << 0 << QByteArray("Pixel 7");
        QTest::newRow("png, zero padded") << QByteArray("png\0", 4) << 0 << QByteArray("P");
        QTest::newRow("upper case") << QByteArray("H264") << 0 << QByteArray("P");
        QTest::newRow("zeros") << QByteArray(4, '\0') << 0 << QByteArray("P");
    }

    void videoHeaderAndPacketsInAnyPiecesOnlyForH264()
    {
        QFETCH(QByteArray, codecId);
        QFETCH(int, chunkSize);
        QFETCH(QByteArray, name);
        FeedDevice socket;
        auto demuxer = std::make_unique<VDemuxer>(&socket, nullptr, nullptr);
        QPointer<VDemuxer> alive(demuxer.get());
        QSignalSpy refused(demuxer.get(), &VideoDemuxer::unsupportedCodec);
        // The session ends on the signal, which deletes the demuxer in the middle of its read.
        int packetsWhenRefused = -1;
        QObject scope;
        connect(demuxer.get(), &VideoDemuxer::unsupportedCodec, &scope, [&] {
            packetsWhenRefused = int(demuxer->packets.size());
            demuxer.reset();
        });
        const QVector<WirePacket> sent{packet(nal(3, 'a'), Wire::Config),
                                       packet(nal(500, 'b'), Wire::KeyFrame | 33333),
                                       packet(nal(20, 'c'), 66666)};
        const QByteArray stream = Wire::videoHeader(name, codecId, 1080, 2400) + Wire::frames(sent);
        socket.feedInPieces(stream, chunkSize ? chunkSize : int(stream.size()));
        if (codecId != "h264") {
            QCOMPARE(refused.count(), 1);
            QCOMPARE(packetsWhenRefused, 0);
            QVERIFY(!alive);
            socket.feed(Wire::frames(sent)); // nobody listens any more
            return;
        }
        QCOMPARE(refused.count(), 0);
        QVERIFY(demuxer->isHeaderRead() && demuxer->codecContext());
        QCOMPARE(demuxer->deviceName(), QString::fromUtf8(name));
        QCOMPARE(demuxer->codecId(), QByteArray("h264"));
        QCOMPARE(QSize(demuxer->width(), demuxer->height()), QSize(1080, 2400));
        QCOMPARE(demuxer->packets.size(), sent.size());
        for (int i = 0; i < sent.size(); ++i)
            QCOMPARE(demuxer->packets[i].data, sent[i].payload);
        QCOMPARE(demuxer->packets[1].pts, 33333);
        QCOMPARE(demuxer->packets[2].pts, 66666);
        socket.feed(QByteArray());
        QCOMPARE(demuxer->packets.size(), sent.size());
    }

    void videoSocketDeletedEndsReading()
    {
        auto *socket = new FeedDevice;
        VDemuxer demuxer(socket, nullptr, nullptr);
        socket->feed(header() + Wire::frame(packet(nal(3, 'a'), 1)));
        delete socket;
        demuxer.read();
        QCOMPARE(demuxer.packets.size(), 1);
    }

    // The header with or without the name field, in any pieces; only Opus, or no sound.
    void audioHeaderAndCodec_data()
    {
        QTest::addColumn<bool>("nameFieldFirst");
        QTest::addColumn<int>("chunkSize"); // 0: one block, 2: split inside the codec id
        QTest::addColumn<QByteArray>("id");
        QTest::addColumn<int>("packets");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<int>("unavailable"); // the phone cannot capture sound
        const auto row = [](const char *name, const QByteArray &id, int packets,
                            bool refused = false, int unavailable = 0, bool nameField = true,
                            int chunk = 2) {
            QTest::newRow(name) << nameField << chunk << id << packets << refused << unavailable;
        };
        row("name field, byte by byte", "opus", 3, false, 0, true, 1);
        row("codec id only, byte by byte", "opus", 3, false, 0, false, 1);
        row("codec id only, one block", "opus", 3, false, 0, false, 0);
        row("opus", "opus", 3);
        row("no sound (0)", codecId(0), 0, false, 1);
        row("set-up failed (1)", codecId(1), 0);
        row("aac", QByteArray("aac\0", 4), 0, true);
        row("flac", "flac", 0, true);
        row("upper case", "OPUS", 0, true);
    }

    void audioHeaderAndCodec()
    {
        QFETCH(bool, nameFieldFirst);
        QFETCH(int, chunkSize);
        QFETCH(QByteArray, id);
        QFETCH(int, packets);
        QFETCH(bool, refused);
        FeedDevice socket;
        auto demuxer = std::make_unique<ADemuxer>(&socket, nullptr, nullptr, nameFieldFirst);
        QPointer<ADemuxer> alive(demuxer.get());
        QSignalSpy unsupported(demuxer.get(), &AudioDemuxer::unsupportedCodec);
        QSignalSpy failed(demuxer.get(), &AudioDemuxer::audioDecoderFailed);
        QSignalSpy unavailable(demuxer.get(), &AudioDemuxer::audioUnavailable);
        // The session ends on the signal, which deletes the demuxer in the middle of its read.
        QObject scope;
        connect(demuxer.get(), &AudioDemuxer::unsupportedCodec, &scope, [&] { demuxer.reset(); });
        const QVector<WirePacket> sent{{QByteArray("OpusHead-ish"), Wire::Config},
                                       {QByteArray(80, 'o'), 20000},
                                       {QByteArray(60, 'p'), 40000}};
        const QByteArray head = nameFieldFirst ? Wire::nameField("Galaxy A54") + id : id;
        if (chunkSize == 2) {
            // Split inside the codec id: the header waits for its last bytes.
            socket.feed(head.chopped(2));
            QCOMPARE(unavailable.count(), 0);
        }
        const QByteArray rest = (chunkSize == 2 ? head.right(2) : head) + Wire::frames(sent);
        socket.feedInPieces(rest, chunkSize == 1 ? 1 : int(rest.size()));
        QTEST(int(unavailable.count()), "unavailable"); // once, whatever follows
        QCOMPARE(unsupported.count(), int(refused));
        QCOMPARE(alive.isNull(), refused);
        if (!refused) {
            QVERIFY(demuxer->isHeaderRead());
            QCOMPARE(demuxer->deviceName(), nameFieldFirst ? QString("Galaxy A54") : QString());
            QCOMPARE(demuxer->packets.size(), packets);
            for (int i = 0; i < packets; ++i)
                QCOMPARE(demuxer->packets[i].data, sent[i].payload);
            QCOMPARE(bool(demuxer->codecContext()), packets > 0);
            QCOMPARE(failed.count(), 0);
            if (packets) {
                QCOMPARE(demuxer->codecId(), id);
                QCOMPARE(demuxer->packets[0].pts, qint64(AV_NOPTS_VALUE));
                QCOMPARE(demuxer->packets[2].pts, 40000);
            }
        }
        socket.feed(Wire::frames(sent));
    }

    void audioTimestampKeepsBit62AndNoKeyFlag_data()
    {
        QTest::addColumn<quint64>("ptsAndFlags");
        QTest::addColumn<qint64>("pts");
        QTest::newRow("bit 62") << (Wire::KeyFrame | 20000) << qint64(0x4000000000004E20);
        QTest::newRow("config") << (Wire::Config | 20000) << qint64(AV_NOPTS_VALUE);
        QTest::newRow("plain") << quint64(960000) << qint64(960000);
    }

    void audioTimestampKeepsBit62AndNoKeyFlag()
    {
        QFETCH(quint64, ptsAndFlags);
        QFETCH(qint64, pts);
        FeedDevice socket;
        ADemuxer demuxer(&socket, nullptr, nullptr, false);
        // Opus packets are passed as they are: no start code business here.
        const QByteArray payload = QByteArray::fromHex("fc1122334455");
        socket.feed("opus" + Wire::frame({payload, ptsAndFlags}));
        QCOMPARE(demuxer.packets.size(), 1);
        QCOMPARE(demuxer.packets[0].pts, pts);
        QCOMPARE(demuxer.packets[0].dts, pts);
        QCOMPARE(demuxer.packets[0].flags & AV_PKT_FLAG_KEY, 0);
        QCOMPARE(demuxer.packets[0].data, payload);
    }

    // Sizes up to 1 MiB; at most 50 packets per read and the rest without new bytes.
    void audioPacketLimits()
    {
        FeedDevice socket;
        ADemuxer demuxer(&socket, nullptr, nullptr, true);
        QVector<WirePacket> sent{{QByteArray(0x100000, 'm'), 3}};
        for (int i = 1; i < 60; ++i)
            sent.append({QByteArray(3, char(i)), quint64(i) * 20000});
        socket.feed(Wire::nameField("A54") + "opus" + Wire::frameHeader(1, 0) +
                    Wire::frameHeader(2, 0x100001) + Wire::frames(sent) + Wire::frameHeader(0, 50));
        QCOMPARE(demuxer.packets.size(), 50);
        QCOMPARE(demuxer.packets[0].data.size(), 0x100000);
        QCOMPARE(demuxer.packets[0].pts, 3);
        QCOMPARE(demuxer.packets[1].data, QByteArray(3, char(1)));
        QTRY_COMPARE(demuxer.packets.size(), 60);
        QCOMPARE(demuxer.packets.last().pts, 59 * 20000);
        // The incomplete packet at the end waits for its bytes.
        socket.feed(QByteArray(50, 'e'));
        QCOMPARE(demuxer.packets.size(), 61);
    }
};

PARVIX_TEST(DemuxerTest)
#include "demuxertest.moc"

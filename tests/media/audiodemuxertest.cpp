#include "audiodemuxer.h"
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
using Demuxer = RecordingDemuxer<AudioDemuxer>;

QByteArray opusHeader(bool withName)
{
    return (withName ? Wire::nameField("Galaxy A54") : QByteArray()) + QByteArray("opus");
}

QByteArray codecId(quint32 id)
{
    char bytes[4];
    qToBigEndian(id, bytes);
    return QByteArray(bytes, 4);
}
} // namespace

class AudioDemuxerTest : public QObject
{
    Q_OBJECT

private slots:
    void headerWithAndWithoutNameField_data()
    {
        QTest::addColumn<bool>("nameFieldFirst");
        QTest::addColumn<int>("chunkSize");
        QTest::newRow("name field, byte by byte") << true << 1;
        QTest::newRow("codec id only, byte by byte") << false << 1;
        QTest::newRow("codec id only, one block") << false << 0;
    }

    void headerWithAndWithoutNameField()
    {
        QFETCH(bool, nameFieldFirst);
        QFETCH(int, chunkSize);
        const QVector<WirePacket> sent{{QByteArray("OpusHead-ish"), Wire::Config},
                                       {QByteArray(80, 'o'), 20000},
                                       {QByteArray(60, 'p'), 40000}};
        const QByteArray stream = opusHeader(nameFieldFirst) + Wire::frames(sent);
        FeedDevice socket;
        Demuxer demuxer(&socket, nullptr, nullptr, nameFieldFirst);
        QSignalSpy unavailable(&demuxer, &AudioDemuxer::audioUnavailable);

        if (chunkSize == 0)
            socket.feed(stream);
        else
            socket.feedInPieces(stream, chunkSize);

        QVERIFY(demuxer.isHeaderRead());
        QCOMPARE(demuxer.codecId(), QByteArray("opus"));
        QCOMPARE(demuxer.deviceName(), nameFieldFirst ? QString("Galaxy A54") : QString());
        QCOMPARE(demuxer.packets.size(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(demuxer.packets[i].data, sent[i].payload);
        QCOMPARE(demuxer.packets[0].pts, qint64(AV_NOPTS_VALUE));
        QCOMPARE(demuxer.packets[2].pts, 40000);
        QCOMPARE(unavailable.count(), 0);
    }

    void onlyOpusOrNoSoundIsTaken_data()
    {
        QTest::addColumn<QByteArray>("id");
        QTest::addColumn<int>("packets");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<int>("unavailable"); // the phone cannot capture sound
        QTest::newRow("opus") << QByteArray("opus") << 2 << false << 0;
        QTest::newRow("no sound (0)") << codecId(0) << 0 << false << 1;
        QTest::newRow("set-up failed (1)") << codecId(1) << 0 << false << 0;
        QTest::newRow("aac") << QByteArray("aac\0", 4) << 0 << true << 0;
        QTest::newRow("flac") << QByteArray("flac") << 0 << true << 0;
        QTest::newRow("upper case") << QByteArray("OPUS") << 0 << true << 0;
    }

    void onlyOpusOrNoSoundIsTaken()
    {
        QFETCH(QByteArray, id);
        QFETCH(int, packets);
        QFETCH(bool, refused);
        QFETCH(int, unavailable);
        FeedDevice socket;
        auto demuxer = std::make_unique<Demuxer>(&socket, nullptr, nullptr, true);
        QPointer<Demuxer> alive(demuxer.get());
        QSignalSpy unsupported(demuxer.get(), &AudioDemuxer::unsupportedCodec);
        QSignalSpy failed(demuxer.get(), &AudioDemuxer::audioDecoderFailed);
        QSignalSpy unavailableSpy(demuxer.get(), &AudioDemuxer::audioUnavailable);
        // The session ends on the signal, which deletes the demuxer in the middle of its read.
        QObject scope;
        connect(demuxer.get(), &AudioDemuxer::unsupportedCodec, &scope, [&] { demuxer.reset(); });
        const QVector<WirePacket> sent{{QByteArray("OpusHead-ish"), Wire::Config},
                                       {QByteArray(80, 'o'), 20000}};
        // Split inside the codec id: the header waits for its last bytes.
        socket.feed(Wire::nameField("Galaxy A54") + id.left(2));
        QCOMPARE(unavailableSpy.count(), 0);
        socket.feed(id.mid(2) + Wire::frames(sent));
        QCOMPARE(unavailableSpy.count(), unavailable); // once, whatever follows

        QCOMPARE(unsupported.count(), int(refused));
        QCOMPARE(alive.isNull(), refused);
        if (!refused) {
            QCOMPARE(demuxer->packets.size(), packets);
            QCOMPARE(bool(demuxer->codecContext()), packets > 0);
            QCOMPARE(failed.count(), 0);
        }
        socket.feed(Wire::frames(sent));
    }

    void timestampKeepsBit62AndNoKeyFlag_data()
    {
        QTest::addColumn<quint64>("ptsAndFlags");
        QTest::addColumn<qint64>("pts");
        QTest::newRow("bit 62") << (Wire::KeyFrame | 20000) << qint64(0x4000000000004E20);
        QTest::newRow("config") << (Wire::Config | 20000) << qint64(AV_NOPTS_VALUE);
        QTest::newRow("plain") << quint64(960000) << qint64(960000);
    }

    void timestampKeepsBit62AndNoKeyFlag()
    {
        QFETCH(quint64, ptsAndFlags);
        QFETCH(qint64, pts);
        FeedDevice socket;
        Demuxer demuxer(&socket, nullptr, nullptr, false);
        // Opus packets are passed as they are: no start code business here.
        const QByteArray payload = QByteArray::fromHex("fc1122334455");
        socket.feed("opus" + Wire::frame({payload, ptsAndFlags}));
        QCOMPARE(demuxer.packets.size(), 1);
        QCOMPARE(demuxer.packets[0].pts, pts);
        QCOMPARE(demuxer.packets[0].dts, pts);
        QCOMPARE(demuxer.packets[0].flags & AV_PKT_FLAG_KEY, 0);
        QCOMPARE(demuxer.packets[0].data, payload);
    }

    void payloadSizeLimits()
    {
        FeedDevice socket;
        Demuxer demuxer(&socket, nullptr, nullptr, false);
        const QByteArray largest(0x100000, 'm');
        socket.feed("opus" + Wire::frameHeader(1, 0) + Wire::frameHeader(2, 0x100001) +
                    Wire::frame({largest, 3}) + Wire::frame({QByteArray(1, 'n'), 4}));
        QCOMPARE(demuxer.packets.size(), 2);
        QCOMPARE(demuxer.packets[0].data.size(), 0x100000);
        QCOMPARE(demuxer.packets[0].pts, 3);
        QCOMPARE(demuxer.packets[1].data, QByteArray("n"));
    }

    void atMost50PacketsPerReadAndTheRestWithoutNewBytes()
    {
        FeedDevice socket;
        Demuxer demuxer(&socket, nullptr, nullptr, true);
        QVector<WirePacket> sent;
        for (int i = 0; i < 60; ++i)
            sent.append({QByteArray(3, char(i)), quint64(i) * 20000});
        socket.feed(opusHeader(true) + Wire::frames(sent) + Wire::frameHeader(0, 50));
        QCOMPARE(demuxer.packets.size(), 50);
        QTRY_COMPARE(demuxer.packets.size(), 60);
        QCOMPARE(demuxer.packets.last().pts, 59 * 20000);
        // The incomplete packet at the end waits for its bytes.
        socket.feed(QByteArray(50, 'e'));
        QCOMPARE(demuxer.packets.size(), 61);
    }
};

PARVIX_TEST(AudioDemuxerTest)
#include "audiodemuxertest.moc"

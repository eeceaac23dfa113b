#include "audiodecoder.h"
#include "audiodemuxer.h"
#include "audiotesttools.h"
#include "testregistry.h"

#include <QBuffer>
#include <QtTest>

using namespace AudioTestTools;

namespace {
QByteArray audioStreamStart()
{
    QByteArray name("Pixel 7");
    name.resize(64, '\0');
    return name + QByteArray("opus");
}

struct DecodedSound
{
    int frames = 0;
    QVector<int> sampleCounts;
    QVector<int> channelCounts;
    QVector<int> formats;
    QVector<double> left;
};

void collect(AudioDecoder &decoder, DecodedSound &sound)
{
    QObject::connect(&decoder, &AudioDecoder::frameDecoded, &decoder, [&sound](AVFrame *frame) {
        ++sound.frames;
        sound.sampleCounts << frame->nb_samples;
        sound.channelCounts << frame->ch_layout.nb_channels;
        sound.formats << frame->format;
        if (frame->format == AV_SAMPLE_FMT_FLTP) {
            const auto *samples = reinterpret_cast<const float *>(frame->extended_data[0]);
            for (int i = 0; i < frame->nb_samples; ++i)
                sound.left << samples[i];
        }
    });
}
} // namespace

class AudioDecoderTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!OpusToneEncoder(1000).isValid())
            QSKIP("libavcodec has no libopus encoder");
    }

    void theToneComesOutFrameByFrame()
    {
        OpusToneEncoder encoder(1000);
        QByteArray stream = audioStreamStart() + framed(ConfigFlag, encoder.header());
        const int packets = 40;
        for (int i = 0; i < packets; ++i) {
            PacketPtr packet = encoder.next();
            QVERIFY(packet);
            stream += framed(quint64(packet->pts), payloadOf(packet.get()));
        }
        QBuffer socket;
        socket.setData(stream);
        socket.open(QIODevice::ReadOnly);

        AudioDecoder decoder(nullptr);
        AudioDemuxer demuxer(&socket, nullptr, &decoder, true);
        decoder.setDemuxer(&demuxer);
        DecodedSound sound;
        collect(decoder, sound);
        demuxer.read();

        // The header block on the wire is no sound; every tone packet is one frame.
        QCOMPARE(sound.frames, packets);
        for (int i = 0; i < sound.frames; ++i) {
            QCOMPARE(sound.sampleCounts[i], 960);
            QCOMPARE(sound.channelCounts[i], 2);
            QCOMPARE(sound.formats[i], int(AV_SAMPLE_FMT_FLTP));
        }
        const QVector<double> steady = sound.left.mid(4800);
        QVERIFY2(qAbs(toneFrequency(steady, 48000) - 1000) < 2,
                 qPrintable(QString::number(toneFrequency(steady, 48000))));
        QVERIFY(rms(steady) > 0.2);
    }

    void nothingIsDecodedWithoutAnOpenStream()
    {
        OpusToneEncoder encoder(440);
        PacketPtr packet = encoder.next();
        QVERIFY(packet);

        AudioDecoder unlinked(nullptr);
        DecodedSound none;
        collect(unlinked, none);
        unlinked.decode(packet.get());

        // Linked, but the stream header has not arrived: there is no decoder context yet.
        QBuffer socket;
        socket.setData(audioStreamStart().left(30));
        socket.open(QIODevice::ReadOnly);
        AudioDecoder waiting(nullptr);
        AudioDemuxer demuxer(&socket, nullptr, &waiting, true);
        waiting.setDemuxer(&demuxer);
        collect(waiting, none);
        demuxer.read();
        waiting.decode(packet.get());
        QCOMPARE(none.frames, 0);
    }
};

PARVIX_TEST(AudioDecoderTest)
#include "audiodecodertest.moc"

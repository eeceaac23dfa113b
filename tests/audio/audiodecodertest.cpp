#include "audiodecoder.h"
#include "audiodemuxer.h"
#include "audiofixtures.h"
#include "testregistry.h"

#include <QBuffer>
#include <QtTest>

using namespace AudioFixtures;

namespace {
QStringList ffmpegErrors;
void keepErrors(void *, int level, const char *format, va_list args)
{
    char line[1024];
    vsnprintf(line, sizeof(line), format, args);
    if (level <= AV_LOG_WARNING)
        ffmpegErrors << QString::fromUtf8(line);
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

    void decodesFrameByFrameOnceTheStreamIsOpen()
    {
        OpusToneEncoder encoder(1000);
        QByteArray stream = audioStreamStart() + framed(ConfigFlag, encoder.header());
        const int packets = 40;
        std::vector<PacketPtr> tone;
        for (int i = 0; i < packets; ++i) {
            tone.push_back(encoder.next());
            QVERIFY(tone.back());
            stream += framed(tone.back().get());
        }
        QBuffer socket;
        socket.setData(stream.left(30));
        socket.open(QIODevice::ReadOnly);
        AudioDecoder decoder(nullptr);
        int frames = 0;
        QVector<double> left;
        connect(&decoder, &AudioDecoder::frameDecoded, this, [&](AVFrame *frame) {
            ++frames;
            QVERIFY(frame->nb_samples == 960 || frames == 1); // the header's pre-skip goes
            QCOMPARE(frame->ch_layout.nb_channels, 2);
            QCOMPARE(frame->format, int(AV_SAMPLE_FMT_FLTP));
            const auto *samples = reinterpret_cast<const float *>(frame->extended_data[0]);
            left << QVector<double>(samples, samples + frame->nb_samples);
        });

        // Neither unlinked nor before the stream header is there a decoder context.
        decoder.decode(tone[0].get());
        AudioDemuxer demuxer(&socket, nullptr, &decoder, true);
        decoder.setDemuxer(&demuxer);
        demuxer.read();
        decoder.decode(tone[0].get());
        QCOMPARE(frames, 0);

        // The header block on the wire is no sound; every tone packet is one frame.
        socket.buffer() = stream;
        av_log_set_callback(keepErrors);
        demuxer.read();
        av_log_set_callback(av_log_default_callback);
        QCOMPARE(ffmpegErrors, QStringList()); // the header configures, it is not sound
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(demuxer.codecContext()->extradata),
                            demuxer.codecContext()->extradata_size),
                 encoder.header());
        QCOMPARE(frames, packets);
        const SteadyTone heard = steadyTone(left.mid(4800), 48000);
        QVERIFY2(qAbs(heard.hz - 1000) < 2 && heard.seconds > 0.5,
                 qPrintable(QString("%1 Hz for %2 s").arg(heard.hz).arg(heard.seconds)));
        QVERIFY(rms(left.mid(4800)) > 0.2);
    }
};

PARVIX_TEST(AudioDecoderTest)
#include "audiodecodertest.moc"

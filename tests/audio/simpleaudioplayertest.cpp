#include "simpleaudioplayer.h"
#include "audiofixtures.h"
#include "pulseserver.h"
#include "testregistry.h"

#include <QBuffer>
#include <QtTest>

using namespace AudioFixtures;

namespace {
// Catches what the player writes and lets the test decide how much room the output has.
class CapturingPlayer : public SimpleAudioPlayer
{
public:
    QBuffer sink;
    qint64 bytesFree = 1 << 20;
    int outputStarts = 0;

    QByteArray written() const { return sink.data(); }
    QByteArray convertFrame(const AVFrame *frame) { return convert(frame); }

protected:
    QIODevice *startOutput() override
    {
        ++outputStarts;
        sink.open(QIODevice::WriteOnly);
        return &sink;
    }
    qint64 outputBytesFree() const override { return bytesFree; }
};

const AVChannelLayout Stereo = AV_CHANNEL_LAYOUT_STEREO;
const AVChannelLayout Mono = AV_CHANNEL_LAYOUT_MONO;

FramePtr opusLikeFrame(double left = 0.5, double right = -0.25)
{
    return makeFrame(AV_SAMPLE_FMT_FLTP, Stereo, 48000, 960,
                     [=](int ch, int) { return ch == 0 ? left : right; });
}
} // namespace

class SimpleAudioPlayerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Any real sink of this process must talk to the private server.
        PulseServer::instance();
    }

    void startsOnceAndPlaysOnlyUsableFrames()
    {
        CapturingPlayer player;
        player.play(opusLikeFrame().get());
        QCOMPARE(player.outputStarts, 0);
        player.start();
        player.start();
        QCOMPARE(player.outputStarts, 1);
        QVERIFY(player.isStarted());
        QVERIFY(player.written().isEmpty());

        player.play(nullptr);
        FramePtr noChannels(av_frame_alloc());
        noChannels->format = AV_SAMPLE_FMT_FLTP;
        noChannels->sample_rate = 48000;
        noChannels->nb_samples = 960;
        player.play(noChannels.get());
        QVERIFY(player.written().isEmpty());
        // A failed set-up is tried again with the next frame.
        player.play(opusLikeFrame().get());
        QCOMPARE(player.written().size(), 3840);

        // A chunk is written only when it fits whole; a dropped one is not retried.
        for (auto [bytesFree, written] :
             QList<QPair<int, int>>{{3839, 3840}, {3840, 7680}, {1 << 20, 11520}}) {
            player.bytesFree = bytesFree;
            player.play(opusLikeFrame().get());
            QCOMPARE(player.written().size(), written);
        }
    }

    void eachFrameIsConvertedWithItsOwnLayout()
    {
        // Planar float stereo becomes interleaved 16-bit stereo.
        CapturingPlayer player;
        QVector<int16_t> pcm = samplesOf(player.convertFrame(opusLikeFrame(0.5, -0.25).get()));
        QCOMPARE(pcm.size(), 960 * 2);
        for (int i = 0; i < pcm.size(); i += 2) {
            QVERIFY2(qAbs(pcm[i] - 16384) <= 1, qPrintable(QString::number(pcm[i])));
            QVERIFY2(qAbs(pcm[i + 1] + 8192) <= 1, qPrintable(QString::number(pcm[i + 1])));
        }
        // Mono after stereo has one plane only (reading a second would crash); it is spread on
        // both channels without clipping and without losing the signal.
        FramePtr mono = makeFrame(AV_SAMPLE_FMT_FLTP, Mono, 48000, 960,
                                  [](int, int i) { return 0.5 * std::sin(i * 0.05); });
        pcm = samplesOf(player.convertFrame(mono.get()));
        QCOMPARE(pcm.size(), 960 * 2);
        double peak = 0;
        for (int i = 0; i < pcm.size(); i += 2) {
            QCOMPARE(pcm[i], pcm[i + 1]);
            peak = qMax(peak, qAbs(pcm[i]) / 32768.0);
        }
        QVERIFY2(peak > 0.25 && peak <= 0.5, qPrintable(QString::number(peak)));
    }

    void otherRatesAreResampledTo48000()
    {
        CapturingPlayer player;
        qint64 outSamples = 0;
        QVector<double> left;
        for (int n = 0; n < 100; ++n) {
            FramePtr frame = makeFrame(AV_SAMPLE_FMT_S16, Stereo, 44100, 441, [n](int, int i) {
                return 0.5 * std::sin(2 * M_PI * 441 * (n * 441 + i) / 44100.0);
            });
            const QByteArray pcm = player.convertFrame(frame.get());
            outSamples += pcm.size() / 4;
            left << channelOf(pcm, 0);
        }
        // One second in, one second out (less what the resampler still holds).
        QVERIFY2(outSamples > 47800 && outSamples <= 48000,
                 qPrintable(QString::number(outSamples)));
        const SteadyTone tone = steadyTone(left, 48000);
        QVERIFY2(qAbs(tone.hz - 441) < 1.0 && tone.seconds > 0.9,
                 qPrintable(QString("%1 Hz for %2 s").arg(tone.hz).arg(tone.seconds)));
    }
};

PARVIX_TEST(SimpleAudioPlayerTest)
#include "simpleaudioplayertest.moc"

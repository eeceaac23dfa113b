// The player's conversion and whole writes; a session's tone in the sink, or mirroring without.
#include "audiodemuxer.h"
#include "audiofixtures.h"
#include "datatable.h"
#include "device.h"
#include "serverparams.h"
#include "simpleaudioplayer.h"
#include "testregistry.h"
#include "testsupport.h"
#include "videoframefeed.h"
#include "virtualfleet.h"

#include <QtTest>

using namespace AudioFixtures;

namespace {
constexpr int RecordRate = 48000;
QProcess *g_pulse = nullptr;
QString g_pulseAddress;

bool pulseAnswers()
{
    QProcess pactl;
    pactl.start("pactl", {"-s", g_pulseAddress, "info"});
    return pactl.waitForFinished(3000) && pactl.exitCode() == 0;
}

// A private PulseAudio null sink, up before any audio client connects; empty, or why it is not.
const QString &pulseFailure()
{
    static const QString failure = []() -> QString {
        const QString daemon = QStandardPaths::findExecutable("pulseaudio");
        if (daemon.isEmpty() || QStandardPaths::findExecutable("pactl").isEmpty())
            return "pulseaudio or pactl is not installed";
        // Short: unix socket names are limited to about 100 bytes.
        static const QTemporaryDir home(QDir::tempPath() + "/pxpulse-XXXXXX");
        const QString dir = home.path();
        g_pulseAddress = "unix:" + dir + "/native";
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name :
             {"HOME", "PULSE_RUNTIME_PATH", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME"})
            env.insert(name, dir);
        env.remove("PULSE_SERVER");
        g_pulse = new QProcess;
        g_pulse->setProcessEnvironment(env);
        // A log file, not a pipe: a full pipe would stall the server's threads.
        g_pulse->setStandardOutputFile(dir + "/log");
        g_pulse->setStandardErrorFile(dir + "/log", QIODevice::Append);
        // Without rewinds: with them, a recorded monitor slows the null sink's clock.
        g_pulse->start(daemon, {"--daemonize=no", "--exit-idle-time=-1", "-n", "--system=false",
                                "--disallow-exit", "--use-pid-file=no",
                                QString("--load=module-null-sink sink_name=parvix_null rate=%1 "
                                        "norewinds=1")
                                    .arg(RecordRate),
                                "--load=module-native-protocol-unix auth-anonymous=1 socket=" +
                                    dir + "/native"});
        qAddPostRoutine([] {
            g_pulse->kill();
            g_pulse->waitForFinished(3000);
            delete g_pulse;
        });
        if (!g_pulse->waitForStarted(5000) || !QTest::qWaitFor(pulseAnswers, 10000))
            return "pulseaudio did not answer: " +
                   QString::fromLocal8Bit(TestSupport::readFile(dir + "/log")).right(400);
        qputenv("PULSE_SERVER", g_pulseAddress.toUtf8());
        return QString();
    }();
    return failure;
}

// Catches what the player writes and lets the test decide how much room the output has.
class CapturingPlayer : public SimpleAudioPlayer
{
public:
    QBuffer sink;
    qint64 bytesFree = 1 << 20;
    int outputStarts = 0;

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

// Unusual on purpose: no phone of a fresh fleet plays it.
constexpr int ToneHz = 1330;

class AudioTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<VirtualFleet> m_fleet;

private slots:
    void initTestCase()
    {
        // Any real sink of this process must talk to the private server.
        if (!pulseFailure().isEmpty())
            return;
        m_fleet = std::make_unique<VirtualFleet>(2);
        QVERIFY(!m_fleet->isValid() || m_fleet->setPhoneOption(0, "toneHz", ToneHz));
        QVERIFY(!m_fleet->isValid() || m_fleet->setPhoneOption(1, "audio", false));
    }

    void cleanupTestCase() { m_fleet.reset(); }

    void startsOnceAndPlaysUsableFramesAs16BitStereoAt48k()
    {
        CapturingPlayer player;
        player.play(opusLikeFrame().get());
        QCOMPARE(player.outputStarts, 0);
        player.start();
        player.start();
        QCOMPARE(player.outputStarts, 1);
        QVERIFY(player.isStarted() && player.sink.data().isEmpty());

        player.play(nullptr);
        FramePtr noChannels(av_frame_alloc());
        noChannels->format = AV_SAMPLE_FMT_FLTP;
        noChannels->sample_rate = 48000;
        noChannels->nb_samples = 960;
        player.play(noChannels.get());
        QVERIFY(player.sink.data().isEmpty());
        // A failed set-up is tried again with the next frame.
        player.play(opusLikeFrame().get());
        QCOMPARE(player.sink.data().size(), 3840);

        // A chunk is written only when it fits whole; a dropped one is not retried.
        for (auto [bytesFree, written] :
             QList<QPair<int, int>>{{3839, 3840}, {3840, 7680}, {1 << 20, 11520}}) {
            player.bytesFree = bytesFree;
            player.play(opusLikeFrame().get());
            QCOMPARE(player.sink.data().size(), written);
        }

        // Each frame converted with its own layout and rate: planar float to interleaved 16-bit.
        QVector<int16_t> pcm = samplesOf(player.convertFrame(opusLikeFrame(0.5, -0.25).get()));
        QCOMPARE(pcm.size(), 960 * 2);
        for (int i = 0; i < pcm.size(); i += 2)
            QCOMPARE_LE(qMax(qAbs(pcm[i] - 16384), qAbs(pcm[i + 1] + 8192)), 1);
        // Mono after stereo: one plane only (a second would crash), on both channels at its level.
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

        qint64 outSamples = 0;
        QVector<double> left;
        for (int n = 0; n < 100; ++n) {
            FramePtr frame = makeFrame(AV_SAMPLE_FMT_S16, Stereo, 44100, 441, [n](int, int i) {
                return 0.5 * std::sin(2 * M_PI * 441 * (n * 441 + i) / 44100.0);
            });
            const QByteArray out = player.convertFrame(frame.get());
            outSamples += out.size() / 4;
            left << channelOf(out, 0);
        }
        // One second in, one second out (less what the resampler still holds).
        QVERIFY2(outSamples > 47800 && outSamples <= 48000,
                 qPrintable(QString::number(outSamples)));
        // Steady at 441 Hz: off by a third of a hertz, or a glitch, and the share falls.
        QCOMPARE_GT(toneShare(left, 48000, 441), 0.98);
    }

    void soundOrMirroringWithoutIt_data()
    {
        // message: "type: text" of every message about sound
        addColumns<int, QByteArray, QString>({"phone", "decoder", "message"});
        QTest::newRow("the phone's tone is heard") << 0 << QByteArray("opus") << QString();
        addRow("phone cannot capture sound", 1, QByteArray("opus"),
               "info: This phone cannot capture sound");
        QTest::newRow("no Opus decoder here")
            << 0 << QByteArray("parvix-missing")
            << "error: Sound cannot be decoded, mirroring without sound";
    }

    void soundOrMirroringWithoutIt()
    {
        QFETCH(int, phone);
        QFETCH(QByteArray, decoder);
        QFETCH(QString, message);
        if (!pulseFailure().isEmpty())
            QSKIP(qPrintable("no audio server: " + pulseFailure()));
        if (!m_fleet->isValid())
            QSKIP(qPrintable(m_fleet->errorString()));
        AudioDemuxer::setDecoderNameForTesting(decoder);
        auto restore = qScopeGuard([] { AudioDemuxer::setDecoderNameForTesting({}); });
        if (decoder != "opus")
            QTest::ignoreMessage(QtWarningMsg, "no audio decoder \"" + decoder + "\"");
        Device device(nullptr, m_fleet->serials().at(phone));
        device.setEnableAudio(true);
        device.serverParamsSmallView()->setMaxSize(280);
        QStringList sound;
        connect(&device, &Device::deviceMessage, this,
                [&](const QString &text, const QString &type) {
                    if (type == "error" || text.contains("sound"))
                        sound << type + ": " + text;
                });
        // What the test sink plays, recorded from its monitor as raw 16-bit stereo.
        QProcess parec;
        parec.start("parec",
                    {"-s", g_pulseAddress, "-d", "parvix_null.monitor", "--raw", "--format=s16le",
                     QString("--rate=%1").arg(RecordRate), "--channels=2", "--latency-msec=20"});
        QVERIFY(parec.waitForStarted(5000));
        QByteArray pcm;
        device.startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(device.controller() && device.frameSize().isValid(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(device.audioDemuxer() && device.audioDemuxer()->isHeaderRead(),
                                 20000);
        QTRY_COMPARE(bool(device.audioDemuxer()->codecContext()), message.isEmpty());
        if (message.isEmpty()) {
            QString problem;
            QTRY_VERIFY2_WITH_TIMEOUT((problem = toneProblem(pcm += parec.readAllStandardOutput(),
                                                             RecordRate, ToneHz, 1.2))
                                          .isEmpty(),
                                      qPrintable(problem), 15000);
        }
        parec.kill();
        const quint64 framesAtTheNews = device.videoFeed()->publishedCount();
        QTRY_VERIFY_WITH_TIMEOUT(device.videoFeed()->publishedCount() >= framesAtTheNews + 10,
                                 10000);
        QVERIFY(device.running() && device.controller());
        device.stopScrcpySession();
        QCOMPARE(sound, message.isEmpty() ? QStringList() : QStringList{message});
    }
};

PARVIX_TEST(AudioTest)
#include "audiotest.moc"

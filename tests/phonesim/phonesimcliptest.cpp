// A phone given a busy clip streams that clip in place of its screen: the size it announces,
// the frames it sends, their timestamps across the loop and the bit rate they cost.
#include "simharness.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace Sim;

namespace {

constexpr int kClipFps = 20;
constexpr int kClipFrames = 30;    // 1.5 s
constexpr int kKeyFrameEvery = 10; // --key-interval 0.5
const QSize kClipSize(360, 800);

Run runPhonesim(const QStringList &args)
{
    QProcess process;
    process.start(TestSupport::phonesimPath(), args);
    if (!process.waitForFinished(120000))
        process.kill();
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

using TestSupport::readFile;

struct Streamed
{
    Session::VideoHeader header;
    MediaPacket config;
    QList<MediaPacket> frames;

    // Payload and frame header bits per second of stream time, first frame to last.
    double bitRate() const
    {
        qint64 bytes = 0;
        for (int i = 0; i + 1 < frames.size(); ++i)
            bytes += 12 + frames.at(i).payload.size();
        const qint64 spanUs = frames.size() > 1 ? frames.last().pts() - frames.first().pts() : 0;
        return spanUs > 0 ? bytes * 8.0 * 1e6 / double(spanUs) : 0;
    }
};

Streamed readStream(Session &session, int frames)
{
    Streamed s;
    s.header = session.readVideoHeader();
    s.config = readPacket(session.video);
    for (int i = 0; i < frames; ++i) {
        const MediaPacket packet = readPacket(session.video);
        if (!packet.valid)
            break;
        s.frames << packet;
    }
    return s;
}

} // namespace

class PhonesimClipTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (TestSupport::phonesimPath().isEmpty())
            QSKIP("phonesim is not built");
        QVERIFY(m_dir.isValid());
        m_clip = m_dir.filePath("busy.h264");
        const Run made =
            runPhonesim({"make-clip", "--size", "360x800", "--fps", "20", "--bitrate", "1500000",
                         "--seconds", "1.5", "--key-interval", "0.5", "--out", m_clip});
        QVERIFY2(made.exitCode == 0, made.err.constData());
        m_clipBytes = readFile(m_clip);
        QVERIFY(!m_clipBytes.isEmpty());
    }

    void phoneStreamsItsClip()
    {
        TestFleet fleet(2, {"--clip", m_clip});
        QVERIFY(fleet.isValid());
        const QString clipPhone = fleet.serial(0), screenPhone = fleet.serial(1);
        QCOMPARE(fleet.adb({"set-clip", "--home", fleet.home(), screenPhone, "none"}).exitCode, 0);
        // The fleet's own screen size stays; the clip's is what the phone reports.
        QCOMPARE(fleet.phone(clipPhone).value("size").toString(), QString("1080x2400"));
        QVERIFY(prints(fleet.shell(clipPhone, "wm size"), "Physical size: 360x800\n"));
        QVERIFY(prints(fleet.shell(screenPhone, "wm size"), "Physical size: 1080x2400\n"));
        fleet.editPhone(screenPhone, [](QJsonObject &phone) { phone["replay"] = true; });

        // The harness asks for max_size=160, max_fps=10 and 500 kbit/s: none applies to a clip.
        Session::Options options;
        options.serial = clipPhone;
        auto clipSession = openSession(fleet, options);
        QVERIFY(clipSession);
        options.serial = screenPhone;
        options.scid = 0x2c;
        options.maxSize = 0;
        auto screenSession = openSession(fleet, options);
        QVERIFY(screenSession);

        // One and a half passes of the clip.
        const Streamed clip = readStream(*clipSession, kClipFrames * 3 / 2);
        QCOMPARE(clip.header.size, kClipSize);
        QVERIFY(clip.config.isConfig());
        QCOMPARE(clip.frames.size(), kClipFrames * 3 / 2);
        // The clip file is exactly the parameter sets and the first pass's frames.
        QByteArray firstPass = clip.config.payload;
        for (int i = 0; i < kClipFrames; ++i)
            firstPass += clip.frames.at(i).payload;
        QVERIFY2(firstPass == m_clipBytes, "the streamed frames differ from the clip file");

        H264Probe probe;
        probe.feed(clip.config.payload);
        for (int i = 0; i < clip.frames.size(); ++i) {
            const MediaPacket &packet = clip.frames.at(i);
            QVERIFY(!packet.isConfig());
            const bool key = i % kClipFrames % kKeyFrameEvery == 0;
            QCOMPARE(packet.isKeyFrame(), key);
            QCOMPARE(nalTypes(packet.payload).contains(5), key);
            QCOMPARE(probe.feed(packet.payload), kClipSize);
            if (i > 0)
                QVERIFY2(packet.pts() > clip.frames.at(i - 1).pts(),
                         qPrintable(QString("frame %1 goes back in time").arg(i)));
        }

        const Streamed screen = readStream(*screenSession, 20);
        QCOMPARE(screen.header.size, QSize(1080, 2400));
        QCOMPARE(screen.frames.size(), 20);
        // 1.5 Mbit/s of busy content against a nearly still screen: a phone that ignored its
        // clip would be at the screen's rate.
        QVERIFY2(clip.bitRate() > 10 * screen.bitRate(),
                 qPrintable(QString("clip %1 kbit/s, screen %2 kbit/s")
                                .arg(clip.bitRate() / 1000)
                                .arg(screen.bitRate() / 1000)));
    }

private:
    QTemporaryDir m_dir;
    QString m_clip;
    QByteArray m_clipBytes;
};

PARVIX_TEST(PhonesimClipTest)
#include "phonesimcliptest.moc"

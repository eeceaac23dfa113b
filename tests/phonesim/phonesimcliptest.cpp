// A phone given a busy clip streams that clip in place of its screen: the size it announces,
// the frames it sends, their timestamps across the loop and the bit rate they cost; and clips
// that a phone could not stream are refused before any session.
#include "simharness.h"
#include "testregistry.h"
#include "testsupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

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

bool writeFile(const QString &path, const QByteArray &bytes)
{
    return !TestSupport::writeFile(path, bytes).isEmpty();
}

// Offset of the 4-byte start code of the first NAL unit of this type, -1 when none.
int startOfNal(const QByteArray &annexB, int type)
{
    for (int at = annexB.indexOf(QByteArray("\0\0\0\1", 4)); at >= 0;
         at = annexB.indexOf(QByteArray("\0\0\0\1", 4), at + 4)) {
        if (at + 4 < annexB.size() && (quint8(annexB.at(at + 4)) & 0x1f) == type)
            return at;
    }
    return -1;
}

// A small stream with B-frames, as a desktop encoder makes by default.
QByteArray encodeWithBFrames()
{
    QByteArray out;
    const int logLevel = av_log_get_level();
    av_log_set_level(AV_LOG_ERROR); // the encoder's closing statistics are noise here
    const AVCodec *codec = avcodec_find_encoder_by_name("libx264");
    AVCodecContext *context = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!context) {
        av_log_set_level(logLevel);
        return out;
    }
    context->width = 64;
    context->height = 64;
    context->pix_fmt = AV_PIX_FMT_YUV420P;
    context->time_base = AVRational{1, 25};
    context->max_b_frames = 2;
    context->gop_size = 50;
    AVFrame *frame = av_frame_alloc();
    AVPacket *packet = av_packet_alloc();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = frame->height = 64;
    if (avcodec_open2(context, codec, nullptr) == 0 && av_frame_get_buffer(frame, 0) == 0) {
        auto drain = [&] {
            while (avcodec_receive_packet(context, packet) == 0) {
                out.append(reinterpret_cast<const char *>(packet->data), packet->size);
                av_packet_unref(packet);
            }
        };
        for (int i = 0; i < 12; ++i) {
            av_frame_make_writable(frame);
            for (int plane = 0; plane < 3; ++plane)
                for (int y = 0; y < (plane ? 32 : 64); ++y)
                    for (int x = 0; x < (plane ? 32 : 64); ++x)
                        frame->data[plane][y * frame->linesize[plane] + x] =
                            uint8_t(plane ? 128 : (x * 4 + y * 2 + i * 9) & 0xff);
            frame->pts = i;
            avcodec_send_frame(context, frame);
            drain();
        }
        avcodec_send_frame(context, nullptr);
        drain();
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&context);
    av_log_set_level(logLevel);
    return out;
}

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

    void unusableClipsAreRefused()
    {
        const int firstSlice = startOfNal(m_clipBytes, 5);
        const int firstPFrame = startOfNal(m_clipBytes, 1);
        QVERIFY(firstSlice > 0 && firstPFrame > firstSlice);
        const QString noParameterSets = m_dir.filePath("no-sps.h264");
        const QString startsWithP = m_dir.filePath("p-first.h264");
        const QString withBFrames = m_dir.filePath("b-frames.h264");
        QVERIFY(writeFile(noParameterSets, m_clipBytes.mid(firstSlice)));
        QVERIFY(
            writeFile(startsWithP, m_clipBytes.left(firstSlice) + m_clipBytes.mid(firstPFrame)));
        const QByteArray bFrames = encodeWithBFrames();
        QVERIFY(bFrames.contains(QByteArray("\0\0\1\x65", 4)));
        QVERIFY(writeFile(withBFrames, bFrames));

        QTemporaryDir home;
        const QStringList init{"init", "--home", home.path(), "--phones", "1", "--clip"};
        QVERIFY(failsWith(runPhonesim(init + QStringList{noParameterSets}), "no SPS and PPS"));
        QVERIFY(failsWith(runPhonesim(init + QStringList{startsWithP}), "not an IDR"));
        QVERIFY(failsWith(runPhonesim(init + QStringList{withBFrames}), "B-frames"));
        QVERIFY(failsWith(runPhonesim(init + QStringList{m_dir.filePath("missing.h264")}),
                          "cannot open"));
        QVERIFY(failsWith(
            runPhonesim({"make-clip", "--size", "100x250", "--out", m_dir.filePath("odd.h264")}),
            "multiple of 8"));

        // A clip that vanished after it was set ends the session with the server's error.
        TestFleet fleet(1);
        QVERIFY(fleet.isValid());
        const QString kept = m_dir.filePath("kept.h264");
        QVERIFY(QFile::copy(m_clip, kept));
        QVERIFY(
            failsWith(fleet.adb({"set-clip", "--home", fleet.home(), fleet.serial(), withBFrames}),
                      "B-frames"));
        QVERIFY(prints(fleet.adb({"set-clip", "--home", fleet.home(), fleet.serial(), kept}),
                       "\t360x800\n"));
        QVERIFY(QFile::remove(kept));
        Session::Options options;
        options.serial = fleet.serial();
        Session session(fleet, options);
        QVERIFY(session.launch());
        QVERIFY(session.waitForExit(20000));
        QCOMPARE(session.exitCode(), 1);
        QVERIFY(session.process->readAllStandardError().contains(
            "ERROR: Could not open the video clip"));
    }

private:
    QTemporaryDir m_dir;
    QString m_clip;
    QByteArray m_clipBytes;
};

PARVIX_TEST(PhonesimClipTest)
#include "phonesimcliptest.moc"

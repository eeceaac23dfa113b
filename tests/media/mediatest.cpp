// The phone's streams read into packets, then decoded into planar pictures and screenshots.
#include "appconfig.h"
#include "audiodemuxer.h"
#include "audiofixtures.h"
#include "datatable.h"
#include "h264sps.h"
#include "h264teststream.h"
#include "hardwaredecoding.h"
#include "testregistry.h"
#include "videodecoder.h"
#include "videodemuxer.h"

#include <QtTest>

extern "C" {
#include <libswscale/swscale.h>
}

namespace {
struct SeenPacket
{
    QByteArray data;
    qint64 pts = 0;
    qint64 dts = 0;
    int flags = 0;
};

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

const QByteArray kHeader = Wire::videoHeader("Pixel 7", "h264", 1080, 2400);

QByteArray nal(int size, char fill)
{
    // Starts with a start code, so the payload is handed on unchanged.
    return QByteArray::fromHex("00000001") + QByteArray(size, fill);
}
// Too big: only its header is dropped. perRead packets per read, then the rest; a cut one waits.
template<class Demuxer>
void verifyLimits(Demuxer &&demuxer, FeedDevice &socket, const QByteArray &head)
{
    QFETCH(int, maxSize);
    QFETCH(int, perRead);
    QByteArray big = nal(maxSize - 4, 'L');
    big[100] = 'M';
    QVector<WirePacket> sent{{big, 3}};
    for (int i = 1; i < perRead + 50; ++i)
        sent.append({nal(8, char(i)), quint64(i)});
    socket.feed(head + Wire::frameHeader(Wire::KeyFrame | 1, 0) +
                Wire::frameHeader(1, maxSize + 1) + Wire::frameHeader(1, 0xffffffffu) +
                Wire::frames(sent) + Wire::frameHeader(0, 50));
    QCOMPARE(demuxer.packets.size(), perRead);
    QCOMPARE(demuxer.packets[0].data, big);
    // No further readyRead comes for bytes already received.
    QTRY_COMPARE(demuxer.packets.size(), sent.size());
    for (int i = 0; i < sent.size(); ++i)
        QCOMPARE(demuxer.packets[i].pts, i ? i : 3);
    QCoreApplication::processEvents();
    QCOMPARE(demuxer.packets.size(), sent.size());
    socket.feed(QByteArray(50, 'e'));
    QCOMPARE(demuxer.packets.size(), sent.size() + 1);
}

// Header and three packets in the row's pieces; a refused codec deletes the demuxer mid-read.
template<class Demuxer>
void verifyHeader(std::unique_ptr<Demuxer> demuxer, FeedDevice &socket, const QByteArray &head,
                  const QString &deviceName)
{
    QFETCH(int, chunkSize);
    QFETCH(int, packets);
    QPointer<Demuxer> alive(demuxer.get());
    QSignalSpy refused(demuxer.get(), &Demuxer::unsupportedCodec);
    int packetsWhenRefused = -1;
    QObject scope;
    QObject::connect(demuxer.get(), &Demuxer::unsupportedCodec, &scope, [&] {
        packetsWhenRefused = int(demuxer->packets.size());
        demuxer.reset();
    });
    // Video has no such signals: its spies watch one that is never emitted.
    constexpr bool sound = std::is_same_v<Demuxer, ADemuxer>;
    const char *never = SIGNAL(objectNameChanged(QString));
    QSignalSpy unavailable(demuxer.get(), sound ? SIGNAL(audioUnavailable()) : never);
    QSignalSpy failed(demuxer.get(), sound ? SIGNAL(audioDecoderFailed()) : never);
    const QVector<WirePacket> sent{{sound ? "OpusHead-ish" : nal(3, 'a'), Wire::Config},
                                   {nal(500, 'b'), Wire::KeyFrame | 33333},
                                   {nal(20, 'c'), 66666}};
    if (chunkSize == 2) {
        // Split inside the codec id: the header waits for its last bytes.
        socket.feed(head.chopped(2));
        QVERIFY(!demuxer->isHeaderRead());
    }
    const QByteArray rest = (chunkSize == 2 ? head.right(2) : head) + Wire::frames(sent);
    socket.feedInPieces(rest, chunkSize == 1 ? 1 : int(rest.size()));
    QTEST(int(unavailable.count()), "unavailable"); // once, whatever follows
    QCOMPARE(failed.count(), 0);
    QCOMPARE(refused.count(), int(packets < 0));
    if (packets < 0) {
        QCOMPARE(packetsWhenRefused, 0);
        QVERIFY(!alive);
        socket.feed(Wire::frames(sent)); // nobody listens any more
        return;
    }
    QVERIFY(demuxer->isHeaderRead());
    QCOMPARE(demuxer->deviceName(), deviceName);
    if constexpr (!sound)
        QCOMPARE(QSize(demuxer->width(), demuxer->height()), QSize(1080, 2400));
    QCOMPARE(bool(demuxer->codecContext()), packets > 0);
    QCOMPARE(demuxer->packets.size(), packets);
    for (int i = 0; i < packets; ++i)
        QCOMPARE(demuxer->packets[i].data, sent[i].payload);
    if (packets)
        QTEST(demuxer->codecId(), "id");
}

using AudioFixtures::FramePtr;

const QString kSerial = "R58M12ABCDE";

// TestPicture frame `index` drawn at `source` size; a grey image (a Y plane) compared by luma.
void verifyPicture(const QImage &image, const QSize &source, int index, int tolerance)
{
    const double sx = double(image.width()) / source.width();
    const double sy = double(image.height()) / source.height();
    const auto distance = [&](const QRect &r, const QColor &colour) {
        const int luma =
            qRound(16 + 0.257 * colour.red() + 0.504 * colour.green() + 0.098 * colour.blue());
        return TestPicture::colourDistance(
            image.pixelColor(int(r.center().x() * sx), int(r.center().y() * sy)),
            image.format() == QImage::Format_Grayscale8 ? QColor(luma, luma, luma) : colour);
    };
    QCOMPARE_LT(distance(TestPicture::topBand(source), TestPicture::topColor), tolerance);
    QCOMPARE_LT(distance(TestPicture::bottomBand(source), TestPicture::bottomColor), tolerance);
    QCOMPARE_LT(distance(TestPicture::square(source, index), Qt::white), tolerance);
}

QStringList screenshotFiles()
{
    return QDir(AppConfig::instance()->getScreenshotSavePath())
        .entryList({"*.jpg"}, QDir::Files, QDir::Name);
}

// A decoder fed from a FeedDevice as the session wires them, keeping each frame's Y plane.
struct Pipeline
{
    FeedDevice socket;
    QPointer<VideoDecoder> decoder = new VideoDecoder(kSerial);
    VideoDemuxer demuxer{&socket, nullptr, decoder};
    QList<QImage> frames; // the Y planes
    Pipeline()
    {
        decoder->setDemuxer(&demuxer);
        QObject::connect(decoder, &VideoDecoder::frameDecoded, [this](AVFrame *f) {
            frames << QImage(f->data[0], f->width, f->height, f->linesize[0],
                             QImage::Format_Grayscale8)
                          .copy();
        });
    }
    ~Pipeline() { delete decoder; }
};
} // namespace

class MediaTest : public QObject
{
    Q_OBJECT

    const QSize m_size{320, 240};
    QVector<WirePacket> m_stream;

    // Takes a screenshot and waits for the task's outcome: empty when a file was written.
    static QString shoot(Pipeline &pipeline) { return pipeline.decoder->takeScreenshot().result(); }

private slots:
    void initTestCase()
    {
        AppConfig::instance(); // the settings store lives on the GUI thread
        if (!H264TestStream::encoderAvailable())
            QSKIP("libx264 is not available in this FFmpeg");
        m_stream = H264TestStream::encode(m_size, 12, 2000000, 5);
    }

    // A rotated stream's new size: PhoneSessionTest.
    void everyFrameIsAnnouncedAsSoonAsItsPacketArrives_data()
    {
        addColumns<QByteArray, bool>({"hardware", "corruptFirst"});
        QTest::newRow("GPU not asked for") << QByteArray() << false;
        QTest::newRow("GPU asked for") << QByteArray("1") << false;
        // A corrupt packet does not stop the stream.
        QTest::newRow("corrupt packet first") << QByteArray() << true;
    }
    void everyFrameIsAnnouncedAsSoonAsItsPacketArrives()
    {
        QFETCH(QByteArray, hardware);
        QFETCH(bool, corruptFirst);
        const QByteArray previous = qgetenv("PARVIX_HW_DECODE");
        qputenv("PARVIX_HW_DECODE", hardware);
        auto restore = qScopeGuard([&] { qputenv("PARVIX_HW_DECODE", previous); });
        QCOMPARE(HardwareDecoding::requested(), hardware == "1");
        Pipeline pipeline;
        AVPacket *packet = av_packet_alloc(); // no codec is open yet: dropped
        pipeline.decoder->decode(packet);
        av_packet_free(&packet);
        // An IDR slice header with random bits, before any parameter set.
        QByteArray garbage = QByteArray::fromHex("0000000165");
        QRandomGenerator random(7);
        for (int i = 0; corruptFirst && i < 3000; ++i)
            garbage.append(char(random.bounded(256)));
        pipeline.socket.feed(Wire::videoHeader("sim", "h264", 320, 240) +
                             (corruptFirst ? Wire::frame({garbage, 1}) : QByteArray()) +
                             Wire::frame(m_stream[0]));
        QCOMPARE(pipeline.frames.size(), 0); // parameter sets alone are no picture
        for (int i = 1; i < m_stream.size(); ++i) {
            pipeline.socket.feedInPieces(Wire::frame(m_stream[i]), 997);
            QCOMPARE(pipeline.frames.size(), i); // low delay: no frame held back
            QCOMPARE(pipeline.frames[i - 1].size(), m_size);
            verifyPicture(pipeline.frames[i - 1], m_size, i - 1, 12);
        }
    }

    void semiPlanarFramesBecomePlanar()
    {
        // Odd sizes: the last chroma column and row cover one picture column and row.
        const int width = 7, height = 5, chromaWidth = 4, chromaHeight = 3;
        // Sample (x, y) of Y, U and V: U grows to the right, V downwards.
        const auto value = [](int plane, int x, int y) {
            return plane == 0 ? 10 * y + x : plane == 1 ? 16 + 20 * x + y : 200 - 30 * y - x;
        };
        FramePtr nv12(av_frame_alloc());
        nv12->format = AV_PIX_FMT_NV12;
        nv12->width = width;
        nv12->height = height;
        nv12->pts = 123456;
        nv12->color_range = AVCOL_RANGE_JPEG;
        QVERIFY(av_frame_get_buffer(nv12.get(), 0) == 0);
        const auto at = [](const FramePtr &f, int plane, int x, int y) -> uint8_t & {
            return f->data[plane][y * f->linesize[plane] + x];
        };
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                at(nv12, 0, x, y) = uint8_t(value(0, x, y));
                if (x < chromaWidth && y < chromaHeight) { // U and V interleaved
                    at(nv12, 1, 2 * x, y) = uint8_t(value(1, x, y));
                    at(nv12, 1, 2 * x + 1, y) = uint8_t(value(2, x, y));
                }
            }
        }
        SwsContext *converter = nullptr;
        auto freeConverter = qScopeGuard([&] { sws_freeContext(converter); });
        FramePtr planar(HardwareDecoding::toPlanar(nv12.get(), &converter));
        QVERIFY(planar);
        QCOMPARE(QList<qint64>({planar->format, planar->width, planar->height, planar->pts,
                                planar->color_range}),
                 QList<qint64>({AV_PIX_FMT_YUV420P, width, height, 123456, AVCOL_RANGE_JPEG}));
        for (int plane = 0; plane < 3; ++plane) {
            for (int y = 0; y < (plane ? chromaHeight : height); ++y) {
                for (int x = 0; x < (plane ? chromaWidth : width); ++x)
                    QCOMPARE(int(at(planar, plane, x, y)), value(plane, x, y));
            }
        }
        // Already planar: the same buffers, referenced. Not 4:2:0: refused.
        FramePtr again(HardwareDecoding::toPlanar(planar.get(), &converter));
        QVERIFY(again);
        QCOMPARE(again->data[0], planar->data[0]);
        nv12->format = AV_PIX_FMT_NV16;
        QVERIFY(!HardwareDecoding::toPlanar(nv12.get(), &converter));
    }

    // The picture size read from the sequence parameter set, as encoders write it.
    void sizeComesFromTheSequenceParameterSet_data()
    {
        addColumns<QSize, int, QString>({"size", "format", "preset"});
        addRow("baseline, cropped", QSize(100, 58), int(AV_PIX_FMT_YUV420P), "ultrafast");
        addRow("high profile, phone-like", QSize(720, 1604), int(AV_PIX_FMT_YUV420P), "medium");
        addRow("high 4:4:4, cropped", QSize(102, 70), int(AV_PIX_FMT_YUV444P), "medium");
    }

    void sizeComesFromTheSequenceParameterSet()
    {
        QFETCH(QSize, size);
        QFETCH(int, format);
        QFETCH(QString, preset);
        H264TestStream phone(size.width(), size.height(), AVPixelFormat(format),
                             preset.toLatin1().constData());
        QVERIFY(phone.isValid());
        const QByteArray sets = phone.parameterSets();
        QCOMPARE(H264::pictureSizeFromConfig(sets), size);
        // Unreadable sets give no size: none, only a picture set, cut inside the sequence set.
        QVERIFY(!H264::pictureSizeFromConfig(QByteArray()).isValid());
        QVERIFY(!H264::pictureSizeFromConfig(QByteArray("\x00\x00\x00\x01\x68\xce", 6)).isValid());
        const int sps = sets.indexOf(QByteArray("\x00\x00\x01\x67", 4));
        QVERIFY(!H264::pictureSizeFromConfig(sets.left(sps + 6)).isValid());
    }

    void converterNarrowsWidePicturesAndFollowsSizeChanges()
    {
        // One converter per decoder: a rotated stream must not reuse the old scaler.
        ScreenshotConverter converter;
        const QPair<QSize, QSize> sizes[] = {
            {QSize(1920, 1080), QSize(1920, 1080)},
            {QSize(2560, 1440), QSize(1920, 1080)},
            // 998.96 rows: the nearest row keeps the shape, cutting would lose one.
            {QSize(1922, 1000), QSize(1920, 999)},
        };
        for (const auto &[frameSize, imageSize] : sizes) {
            AVFrame *frame = TestPicture::makeFrame(frameSize, 3);
            QVERIFY(frame);
            const QImage image = converter.convert(frame);
            av_frame_free(&frame);
            QCOMPARE(image.size(), imageSize);
            QCOMPARE(image.format(), QImage::Format_RGB888);
            verifyPicture(image, frameSize, 3, 12);
        }
        AVFrame *empty = av_frame_alloc();
        QVERIFY(converter.convert(empty).isNull());
        av_frame_free(&empty);
        QVERIFY(!VideoDecoder::screenshotFileName("../x/y").contains('/'));
    }

    void savesTheLatestFrameAsJpegNeverOverwriting()
    {
        // Counted from none; the folder, gone, is made again.
        const QString folder = AppConfig::instance()->getScreenshotSavePath();
        QVERIFY(QDir(folder).removeRecursively());
        Pipeline pipeline;
        pipeline.socket.feed(Wire::videoHeader("sim", "h264", 320, 240) + Wire::frames(m_stream));
        QCOMPARE(shoot(pipeline), QString());
        const QStringList files = screenshotFiles();
        QCOMPARE(files.size(), 1);
        const QRegularExpression pattern("^R58M12ABCDE_\\d{8}_\\d{6}_[1-9]\\d{3}\\.jpg$");
        QVERIFY2(pattern.match(files[0]).hasMatch(), qPrintable(files[0]));
        const QImage image(folder + "/" + files[0]);
        QCOMPARE(image.size(), m_size);
        verifyPicture(image, m_size, 11, 24); // the last frame, not an earlier one

        // Shots within the same second get files of their own.
        for (int i = 0; i < 11; ++i)
            QCOMPARE(shoot(pipeline), QString());
        QCOMPARE(screenshotFiles().size(), 12);

        QVERIFY(QDir(folder).removeRecursively());
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        const QString failure = shoot(pipeline);
        QVERIFY2(failure.contains(QDir::toNativeSeparators(folder)), qPrintable(failure));
        QVERIFY(blocker.remove() && QDir().mkpath(folder));

        // The shot is written when the decoder is gone (the next session replaced it).
        QFuture<QString> shot = pipeline.decoder->takeScreenshot();
        delete pipeline.decoder;
        shot.waitForFinished();
        QCOMPARE(shot.result(), QString());
        QCOMPARE(screenshotFiles().size(), 1);
    }

    void packetLimits_data()
    {
        addColumns<bool, int, int>({"sound", "maxSize", "perRead"});
        QTest::newRow("video") << false << 0x800000 << 200;
        QTest::newRow("sound") << true << 0x100000 << 50;
    }

    void packetLimits()
    {
        QFETCH(bool, sound);
        FeedDevice socket;
        if (sound)
            verifyLimits(ADemuxer(&socket, nullptr, nullptr, true), socket,
                         Wire::nameField("A54") + "opus");
        else
            verifyLimits(VDemuxer(&socket, nullptr, nullptr), socket, kHeader);
    }

    // One packet: its start code added only when missing (video), its time and flags.
    void onePacket_data()
    {
        addColumns<QByteArray, QByteArray, QByteArray, qint64, bool, bool>(
            {"ptsBytes", "payload", "data", "pts", "key", "audio"});
        const auto row = [](const char *name, const char *payload, const char *data,
                            const char *ptsBytes = "00000000000F4240", qint64 pts = 1000000,
                            bool key = false, bool audio = false) {
            QTest::newRow(name) << QByteArray::fromHex(ptsBytes) << QByteArray::fromHex(payload)
                                << QByteArray::fromHex(data) << pts << key << audio;
        };
        row("bare NAL", "6588840001", "000000016588840001");
        row("4-byte start code", "0000000167aa", "0000000167aa");
        row("3-byte start code", "0000016588", "0000016588");
        row("4 bytes are never changed", "65888400", "65888400");
        row("second byte not zero", "0001000165", "000000010001000165");
        row("00 00 then 02", "0000026588", "000000010000026588");
        const char *nal = "000000016b6b";
        row("config", nal, nal, "8000000000000000", AV_NOPTS_VALUE);
        row("key frame", nal, nal, "40000000000F4240", 1000000, true);
        row("all 62 time bits", nal, nal, "3FFFFFFFFFFFFFFF", 0x3FFFFFFFFFFFFFFF);
        // Sound: bit 62 is time, never a key flag; no start code business.
        const char *opus = "fc1122334455";
        row("audio, bit 62", opus, opus, "4000000000004E20", 0x4000000000004E20, false, true);
        row("audio config", opus, opus, "8000000000004E20", AV_NOPTS_VALUE, false, true);
    }

    void onePacket()
    {
        QFETCH(QByteArray, ptsBytes);
        QFETCH(QByteArray, payload);
        QFETCH(qint64, pts);
        QFETCH(bool, audio);
        auto *socket = new FeedDevice;
        const QByteArray bytes = ptsBytes + Wire::bigEndian(quint32(payload.size())) + payload;
        const auto seen = [&](auto &&demuxer, const QByteArray &head) {
            socket->feed(head + bytes);
            delete socket; // a read after the socket is gone adds nothing
            demuxer.read();
            return demuxer.packets;
        };
        const QVector<SeenPacket> packets =
            audio ? seen(ADemuxer(socket, nullptr, nullptr, false), "opus")
                  : seen(VDemuxer(socket, nullptr, nullptr), kHeader);
        QCOMPARE(packets.size(), 1);
        QTEST(packets[0].data, "data");
        QCOMPARE(packets[0].pts, pts);
        QCOMPARE(packets[0].dts, pts);
        QTEST(bool(packets[0].flags & AV_PKT_FLAG_KEY), "key");
    }

    // Only H.264 and Opus are taken; sound may also say none (0) or a failed set-up (1).
    void headerAndCodec_data()
    {
        // kind: 0 video, 1 sound, 2 sound without the name field; chunkSize 0: one block, 2: split
        // inside the codec id; packets -1: refused; unavailable: the phone cannot capture sound.
        addColumns<int, int, QByteArray, QByteArray, int, int>(
            {"kind", "chunkSize", "id", "name", "packets", "unavailable"});
        const auto row = [](const char *tag, int kind, int chunk, const QByteArray &id, int packets,
                            int unavailable = 0, const QByteArray &name = "A54") {
            QTest::newRow(tag) << kind << chunk << id << name << packets << unavailable;
        };
        row("video byte by byte, UTF-8 name", 0, 1, "h264", 3, 0, QString("测试手机 1").toUtf8());
        row("video name fills the field", 0, 0, "h264", 3, 0, QByteArray(64, 'N'));
        // Each of these names a decoder FFmpeg has; none may run on the phone's bytes.
        row("hevc", 0, 0, "hevc", -1);
        row("sound name field, byte by byte", 1, 1, "opus", 3);
        row("sound codec id only, byte by byte", 2, 1, "opus", 3);
        row("no sound (0)", 1, 2, Wire::bigEndian(0), 0, 1);
        row("sound set-up failed (1)", 1, 2, Wire::bigEndian(1), 0);
        row("OPUS", 1, 2, "OPUS", -1);
    }

    void headerAndCodec()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, id);
        QFETCH(QByteArray, name);
        FeedDevice socket;
        if (kind == 0)
            verifyHeader(std::make_unique<VDemuxer>(&socket, nullptr, nullptr), socket,
                         Wire::videoHeader(name, id, 1080, 2400), QString::fromUtf8(name));
        else
            verifyHeader(std::make_unique<ADemuxer>(&socket, nullptr, nullptr, kind == 1), socket,
                         kind == 1 ? Wire::nameField(name) + id : id,
                         kind == 1 ? QString::fromUtf8(name) : QString());
    }
};

PARVIX_TEST(MediaTest)
#include "mediatest.moc"

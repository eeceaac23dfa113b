// Decoding: every picture as soon as its packet arrives, with or without the GPU asked for
// (where no device opens, as here, the software decoder takes over); hardware frames, once
// copied back, become planar YUV420P; screenshots of the latest picture.
#include "videodecoder.h"
#include "appconfig.h"
#include "h264sps.h"
#include "h264teststream.h"
#include "hardwaredecoding.h"
#include "testregistry.h"
#include "videodemuxer.h"

#include <QImage>
#include <QtTest>

#include <cstring>

extern "C" {
#include <libavcodec/packet.h>
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace {
using FramePtr = std::unique_ptr<AVFrame, void (*)(AVFrame *)>;

FramePtr frameOf(AVFrame *frame)
{
    return FramePtr(frame, [](AVFrame *f) { av_frame_free(&f); });
}

// Chroma sample (x, y) of a 4:2:0 test picture: U grows to the right, V downwards.
int uAt(int x, int y)
{
    return 16 + 20 * x + y;
}
int vAt(int x, int y)
{
    return 200 - 30 * y - x;
}

struct SeenFrame
{
    QSize size;
    int format = -1;
    QImage luma; // the Y plane, rows packed
};

// Collects the frames a decoder announces, copying them during the emission.
class FrameCollector : public QObject
{
public:
    explicit FrameCollector(VideoDecoder *decoder)
    {
        connect(decoder, &VideoDecoder::frameDecoded, this, [this](AVFrame *frame) {
            SeenFrame seen{QSize(frame->width, frame->height), frame->format, {}};
            seen.luma = QImage(frame->data[0], frame->width, frame->height, frame->linesize[0],
                               QImage::Format_Grayscale8)
                            .copy();
            frames.append(seen);
        });
    }
    QVector<SeenFrame> frames;
};

// The frame shows TestPicture frame `index`: bands and square at their luma, within 12.
void verifyPicture(const SeenFrame &frame, int index)
{
    const QSize size = frame.size;
    const auto luma = [&](const QRect &rect) {
        return TestPicture::meanColour(frame.luma, TestPicture::inner(rect)).red();
    };
    const auto lumaOf = [](const QColor &c) {
        return int(16 + 0.257 * c.red() + 0.504 * c.green() + 0.098 * c.blue() + 0.5);
    };
    QCOMPARE_LT(qAbs(luma(TestPicture::topBand(size)) - lumaOf(TestPicture::topColor())), 12);
    QCOMPARE_LT(qAbs(luma(TestPicture::bottomBand(size)) - lumaOf(TestPicture::bottomColor())), 12);
    QCOMPARE_LT(qAbs(luma(TestPicture::square(size, index)) - 235), 12);
}
const QString kSerial = "R58M12ABCDE";

// Checks that an image shows TestPicture frame `index` drawn at `source` size.
void verifyPicture(const QImage &image, const QSize &source, int index, int tolerance)
{
    const double sx = double(image.width()) / source.width();
    const double sy = double(image.height()) / source.height();
    const auto distance = [&](const QRect &r, const QColor &expected) {
        const QRect scaled(int(r.x() * sx), int(r.y() * sy), int(r.width() * sx),
                           int(r.height() * sy));
        return TestPicture::colourDistance(
            TestPicture::meanColour(image, TestPicture::inner(scaled)), expected);
    };
    QCOMPARE_LT(distance(TestPicture::topBand(source), TestPicture::topColor()), tolerance);
    QCOMPARE_LT(distance(TestPicture::bottomBand(source), TestPicture::bottomColor()), tolerance);
    QCOMPARE_LT(distance(TestPicture::square(source, index), Qt::white), tolerance);
}

QStringList screenshotFiles()
{
    return QDir(AppConfig::instance()->getScreenshotSavePath())
        .entryList({"*.jpg"}, QDir::Files, QDir::Name);
}

// A decoder fed from a FeedDevice, the way the session wires them.
struct Pipeline
{
    FeedDevice socket;
    QPointer<VideoDecoder> decoder = new VideoDecoder(kSerial);
    VideoDemuxer demuxer{&socket, nullptr, decoder};
    Pipeline() { decoder->setDemuxer(&demuxer); }
    ~Pipeline() { delete decoder; }
};
} // namespace

class VideoDecoderTest : public QObject
{
    Q_OBJECT

    const QSize m_size{320, 240};
    QVector<WirePacket> m_stream;

    // Takes a screenshot and waits for the task's outcome: true when a file was written.
    static bool shoot(Pipeline &pipeline, QString *failure = nullptr)
    {
        QFuture<QString> shot = pipeline.decoder->takeScreenshot();
        shot.waitForFinished();
        if (failure)
            *failure = shot.result();
        return shot.result().isEmpty();
    }

private slots:
    void initTestCase()
    {
        AppConfig::instance(); // the settings store lives on the GUI thread
        if (!H264TestStream::encoderAvailable())
            QSKIP("libx264 is not available in this FFmpeg");
        m_stream = H264TestStream::encode(m_size, 12, 2000000, 5);
        QCOMPARE(m_stream.size(), 13); // config + one access unit per frame
        QVERIFY(m_stream[0].ptsAndFlags & Wire::Config);
        QVERIFY(m_stream[1].ptsAndFlags & Wire::KeyFrame);
    }

    void init()
    {
        // Every case counts the files it wrote; shots of other test classes share the folder.
        const QDir folder(AppConfig::instance()->getScreenshotSavePath());
        for (const QString &file : screenshotFiles())
            QVERIFY(QFile::remove(folder.filePath(file)));
    }

    void everyFrameIsAnnouncedAsSoonAsItsPacketArrives_data()
    {
        QTest::addColumn<QByteArray>("hardware");
        QTest::addColumn<bool>("corruptFirst");
        QTest::newRow("GPU not asked for") << QByteArray() << false;
        QTest::newRow("GPU asked for") << QByteArray("1") << false;
        QTest::newRow("GPU switched off") << QByteArray("0") << false;
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
        FeedDevice socket;
        VideoDecoder decoder(nullptr);
        FrameCollector collector(&decoder);
        VideoDemuxer demuxer(&socket, nullptr, &decoder);
        decoder.setDemuxer(&demuxer);
        // An IDR slice header with random bits, before any parameter set.
        QByteArray garbage = QByteArray::fromHex("0000000165");
        QRandomGenerator random(7);
        for (int i = 0; corruptFirst && i < 3000; ++i)
            garbage.append(char(random.bounded(256)));
        socket.feed(Wire::videoHeader("sim", "h264", 320, 240) +
                    (corruptFirst ? Wire::frame({garbage, 1}) : QByteArray()) +
                    Wire::frame(m_stream[0]));
        QCOMPARE(collector.frames.size(), 0); // parameter sets alone are no picture
        for (int i = 1; i < m_stream.size(); ++i) {
            socket.feedInPieces(Wire::frame(m_stream[i]), 997);
            QCOMPARE(collector.frames.size(), i); // low delay: no frame held back
            QCOMPARE(collector.frames[i - 1].size, m_size);
            QCOMPARE(collector.frames[i - 1].format, int(AV_PIX_FMT_YUV420P));
            verifyPicture(collector.frames[i - 1], i - 1);
        }
    }

    // A rotated stream's new size: ControlSessionTest. A packet without an open codec is dropped.
    void withoutOpenCodecNothingIsDecoded()
    {
        VideoDecoder unlinked(nullptr);
        FrameCollector none(&unlinked);
        AVPacket *packet = av_packet_alloc();
        unlinked.decode(packet);
        av_packet_free(&packet);
        QCOMPARE(none.frames.size(), 0);
    }

    void semiPlanarFramesBecomePlanar()
    {
        // Odd sizes: the last chroma column and row cover one picture column and row.
        const int width = 7, height = 5, chromaWidth = 4, chromaHeight = 3;
        const auto frame = [&](AVPixelFormat format) {
            FramePtr made = frameOf(av_frame_alloc());
            made->format = format;
            made->width = width;
            made->height = height;
            made->pts = 123456;
            made->color_range = AVCOL_RANGE_JPEG;
            return av_frame_get_buffer(made.get(), 0) == 0 ? std::move(made) : frameOf(nullptr);
        };
        FramePtr nv12 = frame(AV_PIX_FMT_NV12);
        QVERIFY(nv12);
        const auto at = [](const FramePtr &f, int plane, int x, int y) -> uint8_t & {
            return f->data[plane][y * f->linesize[plane] + x];
        };
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                at(nv12, 0, x, y) = uint8_t(10 * y + x);
        }
        for (int y = 0; y < chromaHeight; ++y) {
            for (int x = 0; x < chromaWidth; ++x) {
                at(nv12, 1, 2 * x, y) = uint8_t(uAt(x, y));
                at(nv12, 1, 2 * x + 1, y) = uint8_t(vAt(x, y));
            }
        }
        SwsContext *converter = nullptr;
        auto freeConverter = qScopeGuard([&] { sws_freeContext(converter); });
        FramePtr planar = frameOf(HardwareDecoding::toPlanar(nv12.get(), &converter));
        QVERIFY(planar);
        QCOMPARE(planar->format, int(AV_PIX_FMT_YUV420P));
        QCOMPARE(QSize(planar->width, planar->height), QSize(width, height));
        QCOMPARE(planar->pts, qint64(123456));
        QCOMPARE(planar->color_range, AVCOL_RANGE_JPEG);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                QCOMPARE(int(at(planar, 0, x, y)), 10 * y + x);
        }
        for (int y = 0; y < chromaHeight; ++y) {
            for (int x = 0; x < chromaWidth; ++x) {
                QCOMPARE(int(at(planar, 1, x, y)), uAt(x, y));
                QCOMPARE(int(at(planar, 2, x, y)), vAt(x, y));
            }
        }
        // Already planar: the same buffers, referenced. Not 4:2:0: refused.
        FramePtr again = frameOf(HardwareDecoding::toPlanar(planar.get(), &converter));
        QVERIFY(again);
        QCOMPARE(again->data[0], planar->data[0]);
        QVERIFY(!HardwareDecoding::toPlanar(frame(AV_PIX_FMT_NV16).get(), &converter));
        QVERIFY(!HardwareDecoding::isHardwareFrame(planar.get()));
    }

    // The picture size read from the sequence parameter set, as encoders write it.
    void sizeComesFromTheSequenceParameterSet_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("preset");
        QTest::newRow("baseline, cropped")
            << QSize(100, 58) << int(AV_PIX_FMT_YUV420P) << "ultrafast";
        QTest::newRow("high profile, phone-like")
            << QSize(720, 1604) << int(AV_PIX_FMT_YUV420P) << "medium";
        QTest::newRow("high 4:4:4, cropped")
            << QSize(102, 70) << int(AV_PIX_FMT_YUV444P) << "medium";
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
        QVERIFY(sps >= 0);
        QVERIFY(!H264::pictureSizeFromConfig(sets.left(sps + 6)).isValid());
    }

    void converterNarrowsWidePicturesAndFollowsSizeChanges()
    {
        // One converter per decoder: a rotated stream must not reuse the old scaler.
        ScreenshotConverter converter;
        const QPair<QSize, QSize> sizes[] = {
            {QSize(1080, 2400), QSize(1080, 2400)},
            {QSize(1920, 1080), QSize(1920, 1080)},
            {QSize(2560, 1440), QSize(1920, 1080)},
            {QSize(1440, 2560), QSize(1440, 2560)},
            // 998.96 rows: the nearest row keeps the shape, cutting would lose one.
            {QSize(1922, 1000), QSize(1920, 999)},
            {QSize(640, 480), QSize(640, 480)},
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
        // The file name rule; a path in the serial stays out of it.
        const QRegularExpression pattern("^R58M12ABCDE_\\d{8}_\\d{6}_[1-9]\\d{3}\\.jpg$");
        QVERIFY(pattern.match(VideoDecoder::screenshotFileName(kSerial)).hasMatch());
        QVERIFY(!VideoDecoder::screenshotFileName("../x/y").contains('/'));
    }

    void savesTheLatestFrameAsJpegNeverOverwriting()
    {
        Pipeline pipeline;
        pipeline.socket.feed(Wire::videoHeader("sim", "h264", 320, 240) + Wire::frames(m_stream));
        QVERIFY(shoot(pipeline));
        const QStringList files = screenshotFiles();
        QCOMPARE(files.size(), 1);
        QVERIFY(files[0].startsWith(kSerial + "_"));
        const QString folder = AppConfig::instance()->getScreenshotSavePath();
        const QImage image(folder + "/" + files[0]);
        QCOMPARE(image.size(), m_size);
        verifyPicture(image, m_size, 11, 24); // the last frame, not an earlier one

        // Shots within the same second get files of their own.
        for (int i = 0; i < 11; ++i)
            QVERIFY(shoot(pipeline));
        QCOMPARE(screenshotFiles().size(), 12);

        // The folder deleted during the run is made again; a file in its place is named.
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(shoot(pipeline));
        QVERIFY(QDir(folder).removeRecursively());
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        QString failure;
        QVERIFY(!shoot(pipeline, &failure));
        QVERIFY2(failure.contains(QDir::toNativeSeparators(folder)), qPrintable(failure));
        QVERIFY(blocker.remove() && QDir().mkpath(folder));

        // The shot is written when the decoder is gone (the next session replaced it).
        QFuture<QString> shot = pipeline.decoder->takeScreenshot();
        delete pipeline.decoder;
        shot.waitForFinished();
        QCOMPARE(shot.result(), QString());
        QCOMPARE(screenshotFiles().size(), 1);
    }
};

PARVIX_TEST(VideoDecoderTest)
#include "videodecodertest.moc"

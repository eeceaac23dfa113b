// Decoding: every picture as soon as its packet arrives, with or without the GPU asked for
// (where no device opens, as here, the software decoder takes over); hardware frames, once
// copied back, become planar YUV420P.
#include "videodecoder.h"
#include "h264sps.h"
#include "h264teststream.h"
#include "hardwaredecoding.h"
#include "recordingdemuxer.h"
#include "testregistry.h"
#include "videodemuxer.h"

#include <QImage>
#include <QScopeGuard>
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

int meanLuma(const QImage &luma, const QRect &rect)
{
    qint64 sum = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            sum += qGray(luma.pixel(x, y));
    return int(sum / (rect.width() * rect.height()));
}

int lumaOf(const QColor &c)
{
    return int(16 + 0.257 * c.red() + 0.504 * c.green() + 0.098 * c.blue() + 0.5);
}

void verifyPicture(const SeenFrame &frame, int index)
{
    const QSize size = frame.size;
    const int tolerance = 12;
    QVERIFY(qAbs(meanLuma(frame.luma, TestPicture::inner(TestPicture::topBand(size))) -
                 lumaOf(TestPicture::topColor())) < tolerance);
    QVERIFY(qAbs(meanLuma(frame.luma, TestPicture::inner(TestPicture::bottomBand(size))) -
                 lumaOf(TestPicture::bottomColor())) < tolerance);
    QVERIFY2(qAbs(meanLuma(frame.luma, TestPicture::inner(TestPicture::square(size, index))) -
                  235) < tolerance,
             qPrintable(QString("white square of frame %1 not where it was drawn").arg(index)));
}
} // namespace

class VideoDecoderTest : public QObject
{
    Q_OBJECT

    const QSize m_size{320, 240};
    QVector<WirePacket> m_stream;

private slots:
    void initTestCase()
    {
        if (!H264TestStream::encoderAvailable())
            QSKIP("libx264 is not available in this FFmpeg");
        m_stream = H264TestStream::encode(m_size, 12, 2000000, 5);
        QCOMPARE(m_stream.size(), 13); // config + one access unit per frame
        QVERIFY(m_stream[0].ptsAndFlags & Wire::Config);
        QVERIFY(m_stream[1].ptsAndFlags & Wire::KeyFrame);
    }

    void everyFrameIsAnnouncedAsSoonAsItsPacketArrives_data()
    {
        QTest::addColumn<QByteArray>("hardware");
        QTest::newRow("GPU not asked for") << QByteArray();
        QTest::newRow("GPU asked for") << QByteArray("1");
        QTest::newRow("GPU switched off") << QByteArray("0");
    }
    void everyFrameIsAnnouncedAsSoonAsItsPacketArrives()
    {
        QFETCH(QByteArray, hardware);
        const QByteArray previous = qgetenv("PARVIX_HW_DECODE");
        qputenv("PARVIX_HW_DECODE", hardware);
        auto restore = qScopeGuard([&] { qputenv("PARVIX_HW_DECODE", previous); });
        QCOMPARE(HardwareDecoding::requested(), hardware == "1");
        FeedDevice socket;
        VideoDecoder decoder(nullptr);
        FrameCollector collector(&decoder);
        VideoDemuxer demuxer(&socket, nullptr, &decoder);
        decoder.setDemuxer(&demuxer);

        socket.feed(Wire::videoHeader("sim", "h264", 320, 240) + Wire::frame(m_stream[0]));
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

    void corruptPacketsDoNotStopTheStream()
    {
        FeedDevice socket;
        VideoDecoder decoder(nullptr);
        FrameCollector collector(&decoder);
        VideoDemuxer demuxer(&socket, nullptr, &decoder);
        decoder.setDemuxer(&demuxer);
        // An IDR slice header with random bits, before any parameter set.
        QByteArray garbage = QByteArray::fromHex("0000000165");
        QRandomGenerator random(7);
        for (int i = 0; i < 3000; ++i)
            garbage.append(char(random.bounded(256)));
        socket.feed(Wire::videoHeader("sim", "h264", 320, 240) + Wire::frame({garbage, 1}) +
                    Wire::frames(m_stream));
        QCOMPARE(collector.frames.size(), 12);
        verifyPicture(collector.frames.last(), 11);
    }
    void semiPlanarFramesBecomePlanar()
    {
        // Odd sizes: the last chroma column and row cover one picture column and row.
        const int width = 7, height = 5;
        FramePtr nv12 = frameOf(av_frame_alloc());
        nv12->format = AV_PIX_FMT_NV12;
        nv12->width = width;
        nv12->height = height;
        nv12->pts = 123456;
        nv12->color_range = AVCOL_RANGE_JPEG;
        QCOMPARE(av_frame_get_buffer(nv12.get(), 0), 0);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                nv12->data[0][y * nv12->linesize[0] + x] = uint8_t(10 * y + x);
        for (int y = 0; y < (height + 1) / 2; ++y) {
            for (int x = 0; x < (width + 1) / 2; ++x) {
                nv12->data[1][y * nv12->linesize[1] + 2 * x] = uint8_t(uAt(x, y));
                nv12->data[1][y * nv12->linesize[1] + 2 * x + 1] = uint8_t(vAt(x, y));
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
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                QCOMPARE(int(planar->data[0][y * planar->linesize[0] + x]), 10 * y + x);
        for (int y = 0; y < (height + 1) / 2; ++y) {
            for (int x = 0; x < (width + 1) / 2; ++x) {
                QCOMPARE(int(planar->data[1][y * planar->linesize[1] + x]), uAt(x, y));
                QCOMPARE(int(planar->data[2][y * planar->linesize[2] + x]), vAt(x, y));
            }
        }

        // Already planar: the same buffers, referenced. Not 4:2:0: refused.
        FramePtr again = frameOf(HardwareDecoding::toPlanar(planar.get(), &converter));
        QVERIFY(again);
        QCOMPARE(again->data[0], planar->data[0]);
        FramePtr nv16 = frameOf(av_frame_alloc());
        nv16->format = AV_PIX_FMT_NV16;
        nv16->width = width;
        nv16->height = height;
        QCOMPARE(av_frame_get_buffer(nv16.get(), 0), 0);
        QVERIFY(!HardwareDecoding::toPlanar(nv16.get(), &converter));
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
};

PARVIX_TEST(VideoDecoderTest)
#include "videodecodertest.moc"

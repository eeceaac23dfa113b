// Decoding with the GPU asked for: where no device opens (as here) the software decoder takes
// over with the same pictures; hardware frames, once copied back, become planar YUV420P.
#include "hardwaredecoding.h"
#include "h264teststream.h"
#include "testregistry.h"
#include "videodecoder.h"
#include "videodemuxer.h"

#include <QScopeGuard>
#include <QtTest>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
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
} // namespace

class HardwareDecodingTest : public QObject
{
    Q_OBJECT

private slots:
    void everyPictureArrivesWhateverIsAskedFor_data()
    {
        QTest::addColumn<QByteArray>("setting");
        QTest::newRow("not asked for") << QByteArray();
        QTest::newRow("asked for") << QByteArray("1");
        QTest::newRow("switched off") << QByteArray("0");
    }

    void everyPictureArrivesWhateverIsAskedFor()
    {
        if (!H264TestStream::encoderAvailable())
            QSKIP("libx264 is not available in this FFmpeg");
        QFETCH(QByteArray, setting);
        const QByteArray previous = qgetenv("PARVIX_HW_DECODE");
        qputenv("PARVIX_HW_DECODE", setting);
        auto restore = qScopeGuard([&] { qputenv("PARVIX_HW_DECODE", previous); });
        QCOMPARE(HardwareDecoding::requested(), setting == "1");

        const QSize size(320, 240);
        const QVector<WirePacket> stream = H264TestStream::encode(size, 8, 2000000, 4);
        FeedDevice socket;
        VideoDecoder decoder(QStringLiteral("hw"));
        QVector<int> formats;
        QVector<int> whiteSquareLuma;
        connect(&decoder, &VideoDecoder::frameDecoded, this, [&](AVFrame *frame) {
            formats << frame->format;
            const QRect square = TestPicture::inner(TestPicture::square(size, formats.size() - 1));
            whiteSquareLuma
                << frame->data[0][square.center().y() * frame->linesize[0] + square.center().x()];
        });
        VideoDemuxer demuxer(&socket, nullptr, &decoder);
        decoder.setDemuxer(&demuxer);
        socket.feed(
            Wire::videoHeader("sim", "h264", quint32(size.width()), quint32(size.height())) +
            Wire::frames(stream));
        // In system memory and planar, with the picture where it was drawn, every time.
        QCOMPARE(formats, QVector<int>(8, AV_PIX_FMT_YUV420P));
        for (int luma : std::as_const(whiteSquareLuma))
            QVERIFY2(luma > 200, qPrintable(QString::number(luma)));
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
};

PARVIX_TEST(HardwareDecodingTest)
#include "hardwaredecodingtest.moc"

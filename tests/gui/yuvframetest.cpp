// Copying decoder planes into packed frames: the part of the video item that
// touches caller memory, so sizes, padding and bad arguments matter.
#include "testregistry.h"
#include "yuvfboframe.h"
#include "yuvtestpicture.h"

#include <QtTest>
#include <cstring>

extern "C" {
#include <libavutil/frame.h>
}

class YuvFrameTest : public QObject
{
    Q_OBJECT
private slots:
    // Packed planes drop the decoder's padding; arguments that describe no
    // picture give none.
    void copyPacked_data()
    {
        // Width, height, Y stride, chroma stride, the null plane (-1 none, 0 Y, 1 U, 2 V), valid.
        QTest::addColumn<QList<int>>("args");
        const int huge = YuvFrame::kMaxDimension + 1;
        QTest::newRow("1080x2400 padded") << QList<int>{1080, 2400, 1088, 544, -1, 1};
        QTest::newRow("1079x2399 odd") << QList<int>{1079, 2399, 1088, 544, -1, 1};
        QTest::newRow("1x1") << QList<int>{1, 1, 1, 1, -1, 1};
        QTest::newRow("3x5 wide strides") << QList<int>{3, 5, 64, 32, -1, 1};
        QTest::newRow("width 0") << QList<int>{0, 10, 16, 8, -1, 0};
        QTest::newRow("height 0") << QList<int>{10, 0, 16, 8, -1, 0};
        QTest::newRow("negative width") << QList<int>{-4, 10, 16, 8, -1, 0};
        QTest::newRow("null Y") << QList<int>{10, 10, 16, 8, 0, 0};
        QTest::newRow("null U") << QList<int>{10, 10, 16, 8, 1, 0};
        QTest::newRow("null V") << QList<int>{10, 10, 16, 8, 2, 0};
        QTest::newRow("Y stride shorter than a row") << QList<int>{10, 10, 9, 8, -1, 0};
        QTest::newRow("chroma stride shorter than a row") << QList<int>{11, 10, 16, 5, -1, 0};
        QTest::newRow("absurd width") << QList<int>{huge, 2, huge, huge / 2 + 1, -1, 0};
    }
    void copyPacked()
    {
        QFETCH(QList<int>, args);
        const int width = args[0], height = args[1], strideY = args[2], strideUV = args[3];
        const int nullPlane = args[4];
        const bool valid = args[5];
        // Big enough for every row, so a wrong acceptance would not crash the test.
        const QByteArray filler(3 * (YuvFrame::kMaxDimension + 1), char(100));
        const YuvTestPicture source =
            valid ? YuvTestPicture::blocks(width, height, strideY, strideUV) : YuvTestPicture();
        const auto data = [&](int index, const QByteArray &plane) {
            return index == nullPlane
                       ? nullptr
                       : reinterpret_cast<const uint8_t *>((valid ? plane : filler).constData());
        };
        const YuvFrame frame =
            YuvFrame::copyPacked(width, height, data(0, source.y), strideY, data(1, source.u),
                                 strideUV, data(2, source.v), strideUV);
        QCOMPARE(frame.isValid(), valid);
        QCOMPARE(bool(frame.storage), valid);
        if (!valid)
            return;
        const int chromaWidth = (width + 1) / 2, chromaHeight = (height + 1) / 2;
        QCOMPARE(QList<int>({frame.width, frame.height, frame.strides[YuvFrame::PlaneY],
                             frame.strides[YuvFrame::PlaneU], frame.strides[YuvFrame::PlaneV],
                             frame.planeHeight(YuvFrame::PlaneU)}),
                 QList<int>({width, height, width, chromaWidth, chromaWidth, chromaHeight}));
        // Each plane's rows as the frame holds them and as the source has them without padding.
        const auto same = [&](int index, const QByteArray &plane, int stride, int w, int h) {
            QByteArray packed;
            for (int r = 0; r < h; ++r)
                packed += plane.mid(qsizetype(r) * stride, w);
            return QByteArray(reinterpret_cast<const char *>(frame.planes[index]),
                              qsizetype(w) * h) == packed;
        };
        QVERIFY(same(0, source.y, strideY, width, height));
        QVERIFY(same(1, source.u, strideUV, chromaWidth, chromaHeight));
        QVERIFY(same(2, source.v, strideUV, chromaWidth, chromaHeight));
    }

    void decodedFramesAreSharedNotCopied()
    {
        const auto allocate = [](AVPixelFormat format, int width, int height) {
            AVFrame *frame = av_frame_alloc();
            frame->format = format;
            frame->width = width;
            frame->height = height;
            return av_frame_get_buffer(frame, 0) == 0 ? frame : nullptr;
        };
        AVFrame *decoded = allocate(AV_PIX_FMT_YUV420P, 90, 160);
        QVERIFY(decoded);
        std::memset(decoded->data[0], 77, size_t(decoded->linesize[0]) * 160);
        YuvFrame shared = YuvFrame::share(decoded);
        QVERIFY(shared.isValid());
        QCOMPARE(shared.planes[YuvFrame::PlaneY], decoded->data[0]);
        QCOMPARE(shared.strides[YuvFrame::PlaneU], decoded->linesize[1]);
        // The decoder's own frame goes away; the shared planes stay readable.
        av_frame_free(&decoded);
        QCOMPARE(shared.planes[YuvFrame::PlaneY][159 * shared.strides[0] + 89], uint8_t(77));
        // Anything but planar 4:2:0 is not drawn by the item.
        AVFrame *rgb = allocate(AV_PIX_FMT_RGB24, 4, 4);
        QVERIFY(!YuvFrame::share(rgb).isValid());
        av_frame_free(&rgb);
    }
};

PARVIX_TEST(YuvFrameTest)
#include "yuvframetest.moc"

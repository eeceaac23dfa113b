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
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("strideY");
        QTest::addColumn<int>("strideUV");
        QTest::addColumn<int>("nullPlane"); // -1 none, 0 Y, 1 U, 2 V
        QTest::addColumn<bool>("valid");
        QTest::newRow("1080x2400 padded") << 1080 << 2400 << 1088 << 544 << -1 << true;
        QTest::newRow("1079x2399 odd") << 1079 << 2399 << 1088 << 544 << -1 << true;
        QTest::newRow("1x1") << 1 << 1 << 1 << 1 << -1 << true;
        QTest::newRow("3x5 wide strides") << 3 << 5 << 64 << 32 << -1 << true;
        QTest::newRow("width 0") << 0 << 10 << 16 << 8 << -1 << false;
        QTest::newRow("height 0") << 10 << 0 << 16 << 8 << -1 << false;
        QTest::newRow("negative width") << -4 << 10 << 16 << 8 << -1 << false;
        QTest::newRow("null Y") << 10 << 10 << 16 << 8 << 0 << false;
        QTest::newRow("null U") << 10 << 10 << 16 << 8 << 1 << false;
        QTest::newRow("null V") << 10 << 10 << 16 << 8 << 2 << false;
        QTest::newRow("Y stride shorter than a row") << 10 << 10 << 9 << 8 << -1 << false;
        QTest::newRow("chroma stride shorter than a row") << 11 << 10 << 16 << 5 << -1 << false;
        QTest::newRow("absurd width")
            << YuvFrame::kMaxDimension + 1 << 2 << YuvFrame::kMaxDimension + 1
            << YuvFrame::kMaxDimension / 2 + 1 << -1 << false;
    }
    void copyPacked()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, strideY);
        QFETCH(int, strideUV);
        QFETCH(int, nullPlane);
        QFETCH(bool, valid);
        if (!valid) {
            // Big enough for every row, so a wrong acceptance would not crash the
            // test.
            const QByteArray plane(3 * (YuvFrame::kMaxDimension + 1), char(100));
            auto data = [&](int index) {
                return index == nullPlane ? nullptr
                                          : reinterpret_cast<const uint8_t *>(plane.constData());
            };
            const YuvFrame frame = YuvFrame::copyPacked(width, height, data(0), strideY, data(1),
                                                        strideUV, data(2), strideUV);
            QVERIFY(!frame.isValid());
            QVERIFY(!frame.storage);
            return;
        }
        const YuvTestPicture source = YuvTestPicture::blocks(width, height, strideY, strideUV);
        const YuvFrame frame =
            YuvFrame::copyPacked(width, height, source.yTop(), source.yStep(), source.uTop(),
                                 source.uvStep(), source.vTop(), source.uvStep());
        const int chromaWidth = (width + 1) / 2, chromaHeight = (height + 1) / 2;
        QVERIFY(frame.isValid());
        QCOMPARE(QList<int>({frame.width, frame.height, frame.strides[YuvFrame::PlaneY],
                             frame.strides[YuvFrame::PlaneU], frame.strides[YuvFrame::PlaneV],
                             frame.planeHeight(YuvFrame::PlaneU)}),
                 QList<int>({width, height, width, chromaWidth, chromaWidth, chromaHeight}));
        auto rows = [](const uint8_t *plane, int width, int height) {
            return QByteArray(reinterpret_cast<const char *>(plane), qsizetype(width) * height);
        };
        auto packed = [](const QByteArray &plane, int stride, int width, int height) {
            QByteArray out;
            for (int r = 0; r < height; ++r)
                out += plane.mid(qsizetype(r) * stride, width);
            return out;
        };
        QVERIFY(rows(frame.planes[0], width, height) ==
                packed(source.y, source.strideY, width, height));
        QVERIFY(rows(frame.planes[1], chromaWidth, chromaHeight) ==
                packed(source.u, source.strideUV, chromaWidth, chromaHeight));
        QVERIFY(rows(frame.planes[2], chromaWidth, chromaHeight) ==
                packed(source.v, source.strideUV, chromaWidth, chromaHeight));
    }

    void decodedFramesAreSharedNotCopied()
    {
        AVFrame *decoded = av_frame_alloc();
        decoded->format = AV_PIX_FMT_YUV420P;
        decoded->width = 90;
        decoded->height = 160;
        QCOMPARE(av_frame_get_buffer(decoded, 0), 0);
        std::memset(decoded->data[0], 77, size_t(decoded->linesize[0]) * 160);

        YuvFrame shared = YuvFrame::share(decoded);
        QVERIFY(shared.isValid());
        QCOMPARE(shared.planes[YuvFrame::PlaneY], decoded->data[0]);
        QCOMPARE(shared.strides[YuvFrame::PlaneU], decoded->linesize[1]);
        // The decoder's own frame goes away; the shared planes stay readable.
        av_frame_free(&decoded);
        QCOMPARE(shared.planes[YuvFrame::PlaneY][159 * shared.strides[0] + 89], uint8_t(77));

        // Anything but planar 4:2:0 is not drawn by the item.
        AVFrame *rgb = av_frame_alloc();
        rgb->format = AV_PIX_FMT_RGB24;
        rgb->width = 4;
        rgb->height = 4;
        QCOMPARE(av_frame_get_buffer(rgb, 0), 0);
        QVERIFY(!YuvFrame::share(rgb).isValid());
        av_frame_free(&rgb);
    }
};

PARVIX_TEST(YuvFrameTest)
#include "yuvframetest.moc"

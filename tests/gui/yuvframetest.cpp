// Copying decoder planes into packed frames: the part of the video item that
// touches caller memory, so sizes, padding and bad arguments matter.
#include "testregistry.h"
#include "yuvfboframe.h"
#include "yuvtestpicture.h"

#include <QtTest>

class YuvFrameTest : public QObject
{
    Q_OBJECT
private slots:
    void packsPlanesAndDropsPadding_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("strideY");
        QTest::addColumn<int>("strideUV");
        QTest::addColumn<int>("chromaWidth");
        QTest::addColumn<int>("chromaHeight");
        QTest::newRow("1080x2400 padded") << 1080 << 2400 << 1088 << 544 << 540 << 1200;
        QTest::newRow("1079x2399 odd") << 1079 << 2399 << 1088 << 544 << 540 << 1200;
        QTest::newRow("1x1") << 1 << 1 << 1 << 1 << 1 << 1;
        QTest::newRow("3x5 wide strides") << 3 << 5 << 64 << 32 << 2 << 3;
    }

    void packsPlanesAndDropsPadding()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, strideY);
        QFETCH(int, strideUV);
        QFETCH(int, chromaWidth);
        QFETCH(int, chromaHeight);

        const YuvTestPicture source = YuvTestPicture::blocks(width, height, strideY, strideUV);
        const YuvFrame frame =
            YuvFrame::copyPacked(width, height, source.yTop(), source.yStep(), source.uTop(),
                                 source.uvStep(), source.vTop(), source.uvStep());

        QVERIFY(frame.isValid());
        QCOMPARE(frame.width, width);
        QCOMPARE(frame.height, height);
        QCOMPARE(frame.strideY, width);
        QCOMPARE(frame.strideU, chromaWidth);
        QCOMPARE(frame.strideV, chromaWidth);
        QCOMPARE(frame.y.size(), qsizetype(width) * height);
        QCOMPARE(frame.u.size(), qsizetype(chromaWidth) * chromaHeight);
        QCOMPARE(frame.v.size(), qsizetype(chromaWidth) * chromaHeight);

        for (int row = 0; row < height; ++row)
            QVERIFY2(frame.y.mid(qsizetype(row) * width, width) ==
                         source.y.mid(qsizetype(row) * source.strideY, width),
                     qPrintable(QString("Y row %1").arg(row)));
        for (int row = 0; row < chromaHeight; ++row) {
            QVERIFY(frame.u.mid(qsizetype(row) * chromaWidth, chromaWidth) ==
                    source.u.mid(qsizetype(row) * source.strideUV, chromaWidth));
            QVERIFY(frame.v.mid(qsizetype(row) * chromaWidth, chromaWidth) ==
                    source.v.mid(qsizetype(row) * source.strideUV, chromaWidth));
        }
    }

    void rejectsArgumentsThatDescribeNoPicture_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("strideY");
        QTest::addColumn<int>("strideUV");
        QTest::addColumn<int>("nullPlane"); // -1 none, 0 Y, 1 U, 2 V
        QTest::newRow("width 0") << 0 << 10 << 16 << 8 << -1;
        QTest::newRow("height 0") << 10 << 0 << 16 << 8 << -1;
        QTest::newRow("negative width") << -4 << 10 << 16 << 8 << -1;
        QTest::newRow("null Y") << 10 << 10 << 16 << 8 << 0;
        QTest::newRow("null U") << 10 << 10 << 16 << 8 << 1;
        QTest::newRow("null V") << 10 << 10 << 16 << 8 << 2;
        QTest::newRow("Y stride shorter than a row") << 10 << 10 << 9 << 8 << -1;
        QTest::newRow("chroma stride shorter than a row") << 11 << 10 << 16 << 5 << -1;
        QTest::newRow("absurd width")
            << YuvFrame::kMaxDimension + 1 << 2 << YuvFrame::kMaxDimension + 1
            << YuvFrame::kMaxDimension / 2 + 1 << -1;
    }

    void rejectsArgumentsThatDescribeNoPicture()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, strideY);
        QFETCH(int, strideUV);
        QFETCH(int, nullPlane);
        // Big enough for every row, so a wrong acceptance would not crash the test.
        const QByteArray plane(3 * (YuvFrame::kMaxDimension + 1), char(100));
        auto data = [&](int index) {
            return index == nullPlane ? nullptr
                                      : reinterpret_cast<const uint8_t *>(plane.constData());
        };
        const YuvFrame frame = YuvFrame::copyPacked(width, height, data(0), strideY, data(1),
                                                    strideUV, data(2), strideUV);
        QVERIFY(!frame.isValid());
        QVERIFY(frame.y.isEmpty());
        QVERIFY(frame.u.isEmpty());
        QVERIFY(frame.v.isEmpty());
    }
};

PARVIX_TEST(YuvFrameTest)
#include "yuvframetest.moc"

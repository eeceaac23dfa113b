// The picture size read from an H.264 sequence parameter set, as encoders write it.
#include "h264sps.h"
#include "h264teststream.h"
#include "testregistry.h"

#include <QtTest>

extern "C" {
#include <libavutil/pixfmt.h>
}

class H264SpsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!H264TestStream::encoderAvailable())
            QSKIP("libx264 is not available in this FFmpeg");
    }

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

PARVIX_TEST(H264SpsTest)
#include "h264spstest.moc"

#include "appconfig.h"
#include "h264teststream.h"
#include "testregistry.h"
#include "videodecoder.h"
#include "videodemuxer.h"

#include <QDir>
#include <QImage>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

extern "C" {
#include <libavutil/frame.h>
}

namespace {
const QString kSerial = "R58M12ABCDE";

int colourDistance(const QImage &image, const QRect &rect, const QColor &expected)
{
    return TestPicture::colourDistance(TestPicture::meanColour(image, rect), expected);
}

QRect scaled(const QRect &rect, const QSize &from, const QSize &to)
{
    const double sx = double(to.width()) / from.width();
    const double sy = double(to.height()) / from.height();
    return QRect(int(rect.x() * sx), int(rect.y() * sy), int(rect.width() * sx),
                 int(rect.height() * sy));
}

// Checks that an image shows TestPicture frame `index` drawn at `source` size.
void verifyPicture(const QImage &image, const QSize &source, int index, int tolerance)
{
    const QSize size = image.size();
    QVERIFY(colourDistance(image,
                           TestPicture::inner(scaled(TestPicture::topBand(source), source, size)),
                           TestPicture::topColor()) < tolerance);
    QVERIFY(colourDistance(
                image, TestPicture::inner(scaled(TestPicture::bottomBand(source), source, size)),
                TestPicture::bottomColor()) < tolerance);
    QVERIFY(colourDistance(
                image, TestPicture::inner(scaled(TestPicture::square(source, index), source, size)),
                Qt::white) < tolerance);
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

class ScreenshotTest : public QObject
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
        m_stream = H264TestStream::encode(m_size, 8, 2000000, 4);
        QCOMPARE(m_stream.size(), 9);
    }

    void init()
    {
        // Every case counts the files it wrote; shots of other test classes share the folder.
        const QDir folder(AppConfig::instance()->getScreenshotSavePath());
        for (const QString &file : screenshotFiles())
            QVERIFY(QFile::remove(folder.filePath(file)));
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
    }

    void fileNameRule()
    {
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
        const QImage image(AppConfig::instance()->getScreenshotSavePath() + "/" + files[0]);
        QCOMPARE(image.size(), m_size);
        verifyPicture(image, m_size, 7, 24); // the last frame, not an earlier one

        // Shots within the same second get files of their own.
        for (int i = 0; i < 11; ++i)
            QVERIFY(shoot(pipeline));
        QCOMPARE(screenshotFiles().size(), 12);

        // The shot is written when the decoder is gone (the next session replaced it).
        QFuture<QString> shot = pipeline.decoder->takeScreenshot();
        delete pipeline.decoder;
        shot.waitForFinished();
        QCOMPARE(shot.result(), QString());
        QCOMPARE(screenshotFiles().size(), 13);
    }

    // The folder deleted during the run is made again; a file in its place is named.
    void aDeletedFolderIsMadeAgain_data()
    {
        QTest::addColumn<bool>("blocked");
        QTest::newRow("deleted") << false;
        QTest::newRow("a file in its place") << true;
    }
    void aDeletedFolderIsMadeAgain()
    {
        QFETCH(bool, blocked);
        Pipeline pipeline;
        pipeline.socket.feed(Wire::videoHeader("sim", "h264", 320, 240) + Wire::frames(m_stream));
        const QString folder = AppConfig::instance()->getScreenshotSavePath();
        QVERIFY(shoot(pipeline));
        QVERIFY(QDir(folder).removeRecursively());
        QFile file(folder);
        QVERIFY(!blocked || file.open(QIODevice::WriteOnly));
        QString failure;
        QCOMPARE(shoot(pipeline, &failure), !blocked);
        QCOMPARE(failure.contains(QDir::toNativeSeparators(folder)), blocked);
        QVERIFY(QFile::remove(folder) == blocked && QDir().mkpath(folder));
    }
};

PARVIX_TEST(ScreenshotTest)
#include "screenshottest.moc"

// Decodes what the virtual phone's encoders produce, the way the application does, and checks
// the encoded size and the content (layout, touch marks, the Opus tone); the stream shape is
// checked on the wire by PhonesimSessionTest. Built straight from the simulator's media sources.
#include "audiofixtures.h"
#include "audiosource.h"
#include "media_videosize.h"
#include "screenpainter.h"
#include "simsession.h"
#include "testregistry.h"
#include "videosource.h"

#include <QtTest>

#include <cmath>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
}

using Sim::H264Probe;

namespace {

// The pixel as the application shows it.
Rgb at(const QImage &picture, const QPoint &point)
{
    const QRgb pixel = picture.pixel(point);
    return {qRed(pixel), qGreen(pixel), qBlue(pixel)};
}

// The picture the packets complete.
QImage decode(H264Probe &probe, const std::vector<EncodedPacket> &packets)
{
    for (const EncodedPacket &packet : packets)
        probe.feed(packet.data);
    return probe.picture();
}

bool near(const Rgb &a, const Rgb &b, int tolerance = 12)
{
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

QByteArray describe(const Rgb &c)
{
    return QByteArray("rgb(") + QByteArray::number(c.r) + ',' + QByteArray::number(c.g) + ',' +
           QByteArray::number(c.b) + ')';
}

VideoOptions smallPhone()
{
    VideoOptions options;
    options.physicalSize = QSize(1080, 2400);
    options.maxSize = 320; // 144x320
    options.maxFps = 10;
    options.bitRate = 1000000;
    options.name = QStringLiteral("Pixel 7");
    options.serial = QStringLiteral("sim-0001");
    return options;
}

} // namespace

class PhonesimMediaTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { av_log_set_level(AV_LOG_ERROR); }
    void encodedSize_data();
    void encodedSize();
    void pictureLayoutUprightInBothOrientations();
    void touchMarksShowAndAge();
    void opusTone_data();
    void opusTone();
};

void PhonesimMediaTest::encodedSize_data()
{
    QTest::addColumn<QSize>("physical");
    QTest::addColumn<int>("maxSize");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("no limit") << QSize(1080, 2400) << 0 << QSize(1080, 2400);
    QTest::newRow("limit above the screen") << QSize(1080, 2400) << 4000 << QSize(1080, 2400);
    QTest::newRow("limit equals the screen") << QSize(1080, 2400) << 2400 << QSize(1080, 2400);
    QTest::newRow("1024") << QSize(1080, 2400) << 1024 << QSize(456, 1024);
    QTest::newRow("tile 622 rounds down") << QSize(1080, 2400) << 622 << QSize(272, 616);
    QTest::newRow("short side rounds down") << QSize(1087, 2400) << 1200 << QSize(536, 1200);
    QTest::newRow("odd screen") << QSize(721, 1603) << 0 << QSize(720, 1600);
    QTest::newRow("landscape screen") << QSize(2400, 1080) << 1024 << QSize(1024, 456);
    QTest::newRow("square") << QSize(1000, 1000) << 500 << QSize(496, 496);
    QTest::newRow("absurdly small limit") << QSize(1080, 2400) << 4 << QSize(16, 16);
    QTest::newRow("no screen") << QSize(0, 0) << 0 << QSize();
    QTest::newRow("negative") << QSize(-1080, 2400) << 0 << QSize();
}

void PhonesimMediaTest::encodedSize()
{
    QFETCH(QSize, physical);
    QFETCH(int, maxSize);
    QFETCH(QSize, expected);
    const QSize size = encodedVideoSize(physical, maxSize);
    QCOMPARE(size, expected);
    if (size.isValid()) {
        QCOMPARE(size.width() % 8, 0);
        QCOMPARE(size.height() % 8, 0);
    }
}

void PhonesimMediaTest::pictureLayoutUprightInBothOrientations()
{
    VideoOptions options = smallPhone();
    options.physicalSize = QSize(720, 1600);
    options.maxSize = 0;
    VideoSource source(options);
    for (int orientation = 0; orientation < 2; ++orientation) {
        const QSize size = source.videoSize();
        H264Probe probe;
        const QImage picture = decode(probe, source.nextFrame(0));
        QCOMPARE(picture.size(), size);

        const QPoint statusBar = ScreenPainter::statusBarRect(size).center();
        const QPoint navigationBar = ScreenPainter::navigationBarRect(size).center();
        const QPoint background(size.width() / 2, size.height() * 9 / 10 - 20);
        QVERIFY2(near(at(picture, statusBar), ScreenPainter::kStatusBarColor),
                 describe(at(picture, statusBar)));
        QVERIFY2(near(at(picture, navigationBar), ScreenPainter::kNavigationBarColor),
                 describe(at(picture, navigationBar)));
        QVERIFY2(near(at(picture, background), ScreenPainter::kBackgroundColor),
                 describe(at(picture, background)));
        // The source's frame counter runs on across the rotation.
        const QPoint moverCentre = ScreenPainter::moverRect(size, orientation, 2 * 10).center();
        QVERIFY2(near(at(picture, moverCentre), ScreenPainter::kMoverColor),
                 describe(at(picture, moverCentre)));

        // The name and serial lines leave white ink below the status bar.
        const int scale = ScreenPainter::textScale(size);
        const int top = ScreenPainter::statusBarRect(size).bottom() + 1;
        int ink = 0;
        for (int y = top; y < top + 3 * 9 * scale; ++y) {
            for (int x = 0; x < size.width(); ++x)
                ink += near(at(picture, QPoint(x, y)), ScreenPainter::kTextColor, 40) ? 1 : 0;
        }
        QVERIFY2(ink > 20 * scale * scale, QByteArray::number(ink));
        source.rotate();
    }
}

void PhonesimMediaTest::touchMarksShowAndAge()
{
    VideoOptions options = smallPhone();
    options.physicalSize = QSize(720, 1600);
    options.maxSize = 800; // 360x800
    options.bitRate = 4000000;
    VideoSource source(options);
    H264Probe probe;
    auto nextPicture = [&] { return decode(probe, source.nextFrame(0)); };

    // Points on the plain background, clear of text, mover and bars.
    std::vector<QPoint> points;
    for (int i = 0; i <= ScreenPainter::kMaxTouchMarks; ++i)
        points.emplace_back(40 + (i % 7) * 45, 620 + (i / 7) * 40);

    QImage before = nextPicture();
    QVERIFY(near(at(before, points[0]), ScreenPainter::kBackgroundColor));
    source.addTouchMark(points[0]);
    source.addTouchMark(QPoint(-5, -5)); // off screen: ignored, must not push out real marks
    QImage after = nextPicture();
    QVERIFY2(near(at(after, points[0]), ScreenPainter::kTouchMarkColor, 24),
             describe(at(after, points[0])));
    QVERIFY(near(at(after, points[1]), ScreenPainter::kBackgroundColor));
    QVERIFY(near(at(nextPicture(), points[0]), ScreenPainter::kTouchMarkColor, 24)); // it stays

    for (size_t i = 1; i < points.size(); ++i)
        source.addTouchMark(points[i]);
    QImage full = nextPicture();
    nextPicture();
    full = nextPicture(); // let the encoder settle on the new content
    QVERIFY2(near(at(full, points[0]), ScreenPainter::kBackgroundColor, 16),
             "the oldest of 21 marks is gone");
    for (size_t i = 1; i < points.size(); ++i)
        QVERIFY2(near(at(full, points[i]), ScreenPainter::kTouchMarkColor, 24),
                 describe(at(full, points[i])));

    // Rotation clears them: the old positions mean nothing on the turned screen.
    source.rotate();
    source.rotate();
    QImage turnedBack = nextPicture();
    QVERIFY(near(at(turnedBack, points[5]), ScreenPainter::kBackgroundColor, 16));
}

void PhonesimMediaTest::opusTone_data()
{
    QTest::addColumn<int>("toneHz");
    QTest::newRow("440 Hz") << 440;
    QTest::newRow("1000 Hz") << 1000;
    QTest::newRow("3150 Hz") << 3150;
}

void PhonesimMediaTest::opusTone()
{
    QFETCH(int, toneHz);
    AudioSource source(toneHz);
    QVERIFY(source.isValid());
    const EncodedPacket config = source.configPacket();
    QVERIFY(config.config);
    QVERIFY(config.data.startsWith("OpusHead"));
    QVERIFY(config.data.size() >= 19);
    QCOMPARE(int(uchar(config.data[9])), 2); // channels
    const quint32 rate = uchar(config.data[12]) | uchar(config.data[13]) << 8 |
                         uchar(config.data[14]) << 16 | quint32(uchar(config.data[15])) << 24;
    QCOMPARE(rate, 48000u);

    const AVCodec *codec = avcodec_find_decoder_by_name("opus");
    AVCodecContext *context = avcodec_alloc_context3(codec);
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext *)> guard(
        context, [](AVCodecContext *c) { avcodec_free_context(&c); });
    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    av_channel_layout_copy(&context->ch_layout, &stereo);
    context->sample_rate = 48000;
    context->extradata = static_cast<uint8_t *>(
        av_mallocz(size_t(config.data.size()) + AV_INPUT_BUFFER_PADDING_SIZE));
    memcpy(context->extradata, config.data.constData(), size_t(config.data.size()));
    context->extradata_size = int(config.data.size());
    QCOMPARE(avcodec_open2(context, codec, nullptr), 0);

    std::vector<float> left, right;
    AVPacket *packet = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    const int packets = 175; // 3.5 s: across the start-up second and two loops of the next
    for (int i = 0; i < packets; ++i) {
        const EncodedPacket encoded = source.nextPacket(qint64(i) * 20000);
        QCOMPARE(encoded.ptsUs, qint64(i) * 20000);
        QVERIFY(!encoded.config);
        QVERIFY(!encoded.data.isEmpty());
        av_new_packet(packet, int(encoded.data.size()));
        memcpy(packet->data, encoded.data.constData(), size_t(encoded.data.size()));
        packet->pts = i * 960;
        QCOMPARE(avcodec_send_packet(context, packet), 0);
        av_packet_unref(packet);
        QCOMPARE(avcodec_receive_frame(context, frame), 0);
        // The first frame loses the encoder's pre-skip.
        if (i > 0)
            QCOMPARE(frame->nb_samples, 960);
        QCOMPARE(frame->ch_layout.nb_channels, 2);
        QCOMPARE(frame->format, int(AV_SAMPLE_FMT_FLTP));
        const auto *l = reinterpret_cast<const float *>(frame->data[0]);
        const auto *r = reinterpret_cast<const float *>(frame->data[1]);
        left.insert(left.end(), l, l + frame->nb_samples);
        right.insert(right.end(), r, r + frame->nb_samples);
        av_frame_unref(frame);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    const size_t settled = 4800; // the encoder's first 100 ms
    QVERIFY(left.size() > settled + 3 * 48000);

    // Over three seconds: energy sits at the tone and nowhere else. A phase that restarted
    // every packet would smear it into 50 Hz side bands.
    const QVector<double> span(left.begin() + settled, left.begin() + settled + 3 * 48000);
    const double share = AudioFixtures::toneShare(span, 48000, toneHz);
    QVERIFY2(share > 0.97, QByteArray::number(share));
    int crossings = 0;
    for (qsizetype i = 1; i < span.size(); ++i)
        crossings += (span[i - 1] < 0) != (span[i] < 0) ? 1 : 0;
    QVERIFY2(std::abs(crossings / 6.0 - toneHz) <= toneHz * 0.01 + 1,
             QByteArray::number(crossings));

    // No click anywhere, the seams of the repeated second included: no step between samples
    // beyond what the sine itself does plus the codec's error.
    const double sineStep = 0.25 * 2 * M_PI * toneHz / 48000;
    double largestStep = 0, rms = 0, difference = 0;
    for (size_t i = settled; i < left.size(); ++i) {
        largestStep = std::max(largestStep, double(std::abs(left[i] - left[i - 1])));
        rms += double(left[i]) * left[i];
        difference += std::abs(left[i] - right[i]);
    }
    QVERIFY2(largestStep < sineStep * 1.3 + 0.01,
             QByteArray::number(largestStep) + " vs " + QByteArray::number(sineStep));
    rms = std::sqrt(rms / (left.size() - settled));
    QVERIFY2(rms > 0.15 && rms < 0.2, QByteArray::number(rms)); // 0.25 peak sine: 0.177 rms
    QVERIFY(difference / (left.size() - settled) < 0.01);
}

PARVIX_TEST(PhonesimMediaTest)
#include "phonesimmediatest.moc"

#include "videodecoder.h"
#include "h264teststream.h"
#include "recordingdemuxer.h"
#include "testregistry.h"
#include "videodemuxer.h"

#include <QImage>
#include <QtTest>

#include <cstring>

extern "C" {
#include <libavcodec/packet.h>
#include <libavutil/frame.h>
}

namespace {
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

    void everyFrameIsAnnouncedAsSoonAsItsPacketArrives()
    {
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
};

PARVIX_TEST(VideoDecoderTest)
#include "videodecodertest.moc"

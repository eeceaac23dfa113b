#include "h264teststream.h"

#include <QRect>
#include <QtEndian>

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

QByteArray Wire::nameField(const QByteArray &name)
{
    QByteArray field = name.left(64);
    field.append(64 - field.size(), '\0');
    return field;
}

QByteArray Wire::videoHeader(const QByteArray &name, const QByteArray &codecId, quint32 width,
                             quint32 height)
{
    QByteArray header = nameField(name) + codecId.left(4);
    char size[8];
    qToBigEndian(width, size);
    qToBigEndian(height, size + 4);
    header.append(size, 8);
    return header;
}

QByteArray Wire::frameHeader(quint64 ptsAndFlags, quint32 size)
{
    char header[12];
    qToBigEndian(ptsAndFlags, header);
    qToBigEndian(size, header + 8);
    return QByteArray(header, 12);
}

QByteArray Wire::frame(const WirePacket &packet)
{
    return frameHeader(packet.ptsAndFlags, quint32(packet.payload.size())) + packet.payload;
}

QByteArray Wire::frames(const QVector<WirePacket> &packets)
{
    QByteArray bytes;
    for (const WirePacket &packet : packets)
        bytes += frame(packet);
    return bytes;
}

QColor TestPicture::topColor()
{
    return QColor(220, 30, 30);
}
QColor TestPicture::bottomColor()
{
    return QColor(30, 40, 220);
}
QColor TestPicture::middleColor()
{
    return QColor(128, 128, 128);
}

QRect TestPicture::topBand(const QSize &size)
{
    return QRect(0, 0, size.width(), size.height() / 4 & ~1);
}

QRect TestPicture::bottomBand(const QSize &size)
{
    const int height = size.height() / 4 & ~1;
    return QRect(0, size.height() - height, size.width(), height);
}

QRect TestPicture::square(const QSize &size, int frameIndex)
{
    const int side = (qMin(size.width(), size.height()) / 4) & ~1;
    const int travel = qMax(2, size.width() - side);
    const int x = (frameIndex * 16) % travel & ~1;
    return QRect(x, (size.height() - side) / 2 & ~1, side, side);
}

QRect TestPicture::inner(const QRect &rect)
{
    return rect.adjusted(rect.width() / 4, rect.height() / 4, -rect.width() / 4,
                         -rect.height() / 4);
}

QColor TestPicture::meanColour(const QImage &image, const QRect &rect)
{
    qint64 r = 0, g = 0, b = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            r += qRed(pixel);
            g += qGreen(pixel);
            b += qBlue(pixel);
        }
    }
    const qint64 n = qMax<qint64>(1, qint64(rect.width()) * rect.height());
    return QColor(int(r / n), int(g / n), int(b / n));
}

int TestPicture::colourDistance(const QColor &a, const QColor &b)
{
    return qMax(qAbs(a.red() - b.red()),
                qMax(qAbs(a.green() - b.green()), qAbs(a.blue() - b.blue())));
}

namespace {
void yuvOf(const QColor &c, int &y, int &u, int &v)
{
    // BT.601 limited range, as the decoder's default colour space.
    const double r = c.red(), g = c.green(), b = c.blue();
    y = qBound(16, int(16 + 0.257 * r + 0.504 * g + 0.098 * b + 0.5), 235);
    u = qBound(16, int(128 - 0.148 * r - 0.291 * g + 0.439 * b + 0.5), 240);
    v = qBound(16, int(128 + 0.439 * r - 0.368 * g - 0.071 * b + 0.5), 240);
}

void fillRect(AVFrame *frame, const QRect &rect, const QColor &color)
{
    int y, u, v;
    yuvOf(color, y, u, v);
    const QRect r = rect.intersected(QRect(0, 0, frame->width, frame->height));
    for (int row = r.top(); row <= r.bottom(); ++row)
        std::memset(frame->data[0] + row * frame->linesize[0] + r.left(), y, r.width());
    for (int row = r.top() / 2; row <= r.bottom() / 2; ++row) {
        std::memset(frame->data[1] + row * frame->linesize[1] + r.left() / 2, u,
                    (r.width() + 1) / 2);
        std::memset(frame->data[2] + row * frame->linesize[2] + r.left() / 2, v,
                    (r.width() + 1) / 2);
    }
}
} // namespace

AVFrame *TestPicture::makeFrame(const QSize &size, int frameIndex)
{
    AVFrame *frame = av_frame_alloc();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = size.width();
    frame->height = size.height();
    if (av_frame_get_buffer(frame, 0) < 0) {
        av_frame_free(&frame);
        return nullptr;
    }
    const QRect all(0, 0, size.width(), size.height());
    fillRect(frame, all, middleColor());
    fillRect(frame, topBand(size), topColor());
    fillRect(frame, bottomBand(size), bottomColor());
    fillRect(frame, square(size, frameIndex), Qt::white);
    return frame;
}

bool H264TestStream::encoderAvailable()
{
    return avcodec_find_encoder_by_name("libx264") != nullptr;
}

QVector<WirePacket> H264TestStream::encode(const QSize &size, int frameCount, int bitRate, int gop)
{
    QVector<WirePacket> packets;
    const AVCodec *codec = avcodec_find_encoder_by_name("libx264");
    if (!codec)
        return packets;
    AVCodecContext *context = avcodec_alloc_context3(codec);
    context->width = size.width();
    context->height = size.height();
    context->pix_fmt = AV_PIX_FMT_YUV420P;
    context->time_base = AVRational{1, 1000000};
    context->framerate = AVRational{30, 1};
    context->bit_rate = bitRate;
    context->gop_size = gop;
    context->max_b_frames = 0;
    context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(context->priv_data, "preset", "ultrafast", 0);
    av_opt_set(context->priv_data, "tune", "zerolatency", 0);
    if (avcodec_open2(context, codec, nullptr) < 0) {
        avcodec_free_context(&context);
        return packets;
    }
    packets.append(
        {QByteArray(reinterpret_cast<const char *>(context->extradata), context->extradata_size),
         Wire::Config});

    AVPacket *packet = av_packet_alloc();
    auto collect = [&] {
        while (avcodec_receive_packet(context, packet) == 0) {
            quint64 ptsAndFlags = quint64(packet->pts);
            if (packet->flags & AV_PKT_FLAG_KEY)
                ptsAndFlags |= Wire::KeyFrame;
            packets.append({QByteArray(reinterpret_cast<const char *>(packet->data), packet->size),
                            ptsAndFlags});
            av_packet_unref(packet);
        }
    };
    for (int i = 0; i < frameCount; ++i) {
        AVFrame *frame = TestPicture::makeFrame(size, i);
        frame->pts = qint64(i) * 1000000 / 30;
        avcodec_send_frame(context, frame);
        av_frame_free(&frame);
        collect();
    }
    avcodec_send_frame(context, nullptr);
    collect();
    av_packet_free(&packet);
    avcodec_free_context(&context);
    return packets;
}

FeedDevice::FeedDevice(QObject *parent) : QIODevice(parent)
{
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 FeedDevice::bytesAvailable() const
{
    return m_pending.size() + QIODevice::bytesAvailable();
}

void FeedDevice::feed(const QByteArray &bytes)
{
    m_pending += bytes;
    emit readyRead();
}

void FeedDevice::feedInPieces(const QByteArray &bytes, int chunkSize)
{
    for (qsizetype at = 0; at < bytes.size(); at += chunkSize)
        feed(bytes.mid(at, chunkSize));
}

qint64 FeedDevice::readData(char *data, qint64 maxSize)
{
    const qint64 count = qMin<qint64>(maxSize, m_pending.size());
    std::memcpy(data, m_pending.constData(), size_t(count));
    m_pending.remove(0, count);
    return count;
}

#include "h264teststream.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

QRect TestPicture::topBand(const QSize &size)
{
    return QRect(0, 0, size.width(), size.height() / 4 & ~1);
}

QRect TestPicture::bottomBand(const QSize &size)
{
    return topBand(size).translated(0, size.height() - topBand(size).height());
}

QRect TestPicture::square(const QSize &size, int frameIndex)
{
    const int side = (qMin(size.width(), size.height()) / 4) & ~1;
    const int travel = qMax(2, size.width() - side);
    const int x = (frameIndex * 16) % travel & ~1;
    return QRect(x, (size.height() - side) / 2 & ~1, side, side);
}

int TestPicture::colourDistance(const QColor &a, const QColor &b)
{
    return qMax(qAbs(a.red() - b.red()),
                qMax(qAbs(a.green() - b.green()), qAbs(a.blue() - b.blue())));
}

namespace {
void fillRect(AVFrame *frame, const QRect &rect, const QColor &c)
{
    // BT.601 limited range, as the decoder's default colour space.
    const double r = c.red(), g = c.green(), b = c.blue();
    const int value[3] = {qBound(16, int(16 + 0.257 * r + 0.504 * g + 0.098 * b + 0.5), 235),
                          qBound(16, int(128 - 0.148 * r - 0.291 * g + 0.439 * b + 0.5), 240),
                          qBound(16, int(128 + 0.439 * r - 0.368 * g - 0.071 * b + 0.5), 240)};
    const QRect area = rect.intersected(QRect(0, 0, frame->width, frame->height));
    for (int plane = 0; plane < 3; ++plane) {
        // Chroma planes of 4:2:0 have half the rows and columns.
        const int shift = plane == 0 || frame->format == AV_PIX_FMT_YUV444P ? 0 : 1;
        const int left = area.left() >> shift, width = (area.width() + shift) >> shift;
        for (int row = area.top() >> shift; row <= area.bottom() >> shift; ++row)
            std::memset(frame->data[plane] + row * frame->linesize[plane] + left, value[plane],
                        width);
    }
}
} // namespace

AVFrame *TestPicture::makeFrame(const QSize &size, int frameIndex, int format)
{
    AVFrame *frame = av_frame_alloc();
    frame->format = format;
    frame->width = size.width();
    frame->height = size.height();
    if (av_frame_get_buffer(frame, 0) < 0) {
        av_frame_free(&frame);
        return nullptr;
    }
    fillRect(frame, QRect(QPoint(), size), QColor(128, 128, 128));
    fillRect(frame, topBand(size), topColor);
    fillRect(frame, bottomBand(size), bottomColor);
    fillRect(frame, square(size, frameIndex), Qt::white);
    return frame;
}

H264TestStream::H264TestStream(int width, int height, AVPixelFormat format, const char *preset,
                               int gop, int bitRate)
{
    const AVCodec *codec = avcodec_find_encoder_by_name("libx264");
    if (!codec)
        return;
    m_context = avcodec_alloc_context3(codec);
    m_context->width = width;
    m_context->height = height;
    m_context->pix_fmt = format;
    m_context->time_base = AVRational{1, 1000000};
    m_context->framerate = AVRational{30, 1};
    if (bitRate > 0)
        m_context->bit_rate = bitRate;
    m_context->gop_size = gop;
    m_context->max_b_frames = 0;
    m_context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(m_context->priv_data, "preset", preset, 0);
    av_opt_set(m_context->priv_data, "tune", "zerolatency", 0);
    av_opt_set(m_context->priv_data, "forced-idr", "1", 0);
    if (avcodec_open2(m_context, codec, nullptr) < 0)
        avcodec_free_context(&m_context);
}

QByteArray H264TestStream::parameterSets() const
{
    return QByteArray(reinterpret_cast<const char *>(m_context->extradata),
                      m_context->extradata_size);
}

AVPacketPtr H264TestStream::config() const
{
    AVPacketPtr packet(av_packet_alloc());
    if (av_new_packet(packet.get(), m_context->extradata_size) < 0)
        return {};
    std::memcpy(packet->data, m_context->extradata, size_t(m_context->extradata_size));
    packet->pts = packet->dts = AV_NOPTS_VALUE;
    return packet;
}

AVPacketPtr H264TestStream::frame(qint64 ptsUs, bool key)
{
    AVFrame *picture = TestPicture::makeFrame(QSize(m_context->width, m_context->height), m_count++,
                                              m_context->pix_fmt);
    if (!picture)
        return {};
    picture->pts = ptsUs;
    picture->pict_type = key ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    const int sent = avcodec_send_frame(m_context, picture);
    av_frame_free(&picture);
    AVPacketPtr packet(av_packet_alloc());
    if (sent < 0 || avcodec_receive_packet(m_context, packet.get()) < 0)
        return {};
    packet->pts = packet->dts = ptsUs;
    return packet;
}

QVector<WirePacket> H264TestStream::encode(const QSize &size, int frameCount, int bitRate, int gop)
{
    H264TestStream stream(size.width(), size.height(), AV_PIX_FMT_YUV420P, "ultrafast", gop,
                          bitRate);
    if (!stream.isValid())
        return {};
    QVector<WirePacket> packets{{stream.parameterSets(), Wire::Config}};
    for (int i = 0; i < frameCount; ++i) {
        const AVPacketPtr packet = stream.frame(qint64(i) * 1000000 / 30);
        if (!packet)
            return {};
        const quint64 key = packet->flags & AV_PKT_FLAG_KEY ? Wire::KeyFrame : 0;
        packets.append({QByteArray(reinterpret_cast<const char *>(packet->data), packet->size),
                        quint64(packet->pts) | key});
    }
    return packets;
}

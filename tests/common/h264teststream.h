#pragma once
// H.264 of known pictures, and the bytes a phone puts on its video and audio connections.
#include "feeddevice.h"

#include <QImage>
#include <QtEndian>

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
}

struct WirePacket
{
    QByteArray payload;
    quint64 ptsAndFlags = 0;
};

namespace Wire {
constexpr quint64 Config = quint64(1) << 63;
constexpr quint64 KeyFrame = quint64(1) << 62;

template<typename T> QByteArray bigEndian(T value)
{
    QByteArray bytes(sizeof(T), Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}

// 64 bytes, zero padded
inline QByteArray nameField(const QByteArray &name)
{
    return name.left(64).leftJustified(64, '\0');
}
inline QByteArray videoHeader(const QByteArray &name, const QByteArray &codecId, quint32 width,
                              quint32 height)
{
    return nameField(name) + codecId.left(4) + bigEndian(width) + bigEndian(height);
}
inline QByteArray frameHeader(quint64 ptsAndFlags, quint32 size)
{
    return bigEndian(ptsAndFlags) + bigEndian(size);
}
inline QByteArray frame(const WirePacket &packet)
{
    return frameHeader(packet.ptsAndFlags, quint32(packet.payload.size())) + packet.payload;
}
inline QByteArray frames(const QVector<WirePacket> &packets)
{
    QByteArray bytes;
    for (const WirePacket &packet : packets)
        bytes += frame(packet);
    return bytes;
}
} // namespace Wire

// Frame i: red band at the top, blue at the bottom, grey between, a white square moving with i.
namespace TestPicture {
inline const QColor topColor(220, 30, 30);
inline const QColor bottomColor(30, 40, 220);
QRect topBand(const QSize &size);
QRect bottomBand(const QSize &size);
QRect square(const QSize &size, int frameIndex);
// A frame of that picture in YUV420P or YUV444P (caller frees with av_frame_free).
AVFrame *makeFrame(const QSize &size, int frameIndex, int format = AV_PIX_FMT_YUV420P);
// The largest channel difference of two colours.
int colourDistance(const QColor &a, const QColor &b);
} // namespace TestPicture

struct AVPacketDeleter
{
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};
using AVPacketPtr = std::unique_ptr<AVPacket, AVPacketDeleter>;

// TestPicture as a phone encodes it: parameter sets alone, then an access unit each, no B-frames.
class H264TestStream
{
public:
    H264TestStream(int width, int height, AVPixelFormat format = AV_PIX_FMT_YUV420P,
                   const char *preset = "ultrafast", int gop = 1000, int bitRate = 0);
    ~H264TestStream() { avcodec_free_context(&m_context); }
    H264TestStream(const H264TestStream &) = delete;
    H264TestStream &operator=(const H264TestStream &) = delete;

    bool isValid() const { return m_context && m_context->extradata_size > 0; }
    QByteArray parameterSets() const;
    AVPacketPtr config() const; // the parameter sets, no timestamp
    // The next picture at the phone's time ptsUs; a key frame on request.
    AVPacketPtr frame(qint64 ptsUs, bool key = false);

    static bool encoderAvailable() { return avcodec_find_encoder_by_name("libx264") != nullptr; }
    // A whole stream at 30 fps; empty when no encoder is available.
    static QVector<WirePacket> encode(const QSize &size, int frameCount, int bitRate = 2000000,
                                      int gop = 30);

private:
    AVCodecContext *m_context = nullptr;
    int m_count = 0;
};

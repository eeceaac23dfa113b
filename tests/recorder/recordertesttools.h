#pragma once
// Fixtures of the recorder tests: an H.264 stream shaped like the phone's (parameter sets
// as a separate config packet, Annex B frames without B-frames) and a reader of recordings
// built on Debian's ffprobe and ffmpeg.
#include "../audio/audiotesttools.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QVector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

namespace RecorderTestTools {

using AudioTestTools::PacketPtr;

inline PacketPtr packetWith(const QByteArray &payload, qint64 pts, bool key = false)
{
    PacketPtr packet(av_packet_alloc());
    if (av_new_packet(packet.get(), int(payload.size())) < 0)
        return {};
    memcpy(packet->data, payload.constData(), size_t(payload.size()));
    packet->pts = packet->dts = pts;
    if (key)
        packet->flags |= AV_PKT_FLAG_KEY;
    return packet;
}

// The phone's encoder: libx264 with the parameter sets kept out of the frames.
class H264TestStream
{
public:
    H264TestStream(int width, int height, AVPixelFormat format = AV_PIX_FMT_YUV420P,
                   const char *preset = "ultrafast")
        : m_width(width), m_height(height), m_format(format)
    {
        const AVCodec *codec = avcodec_find_encoder_by_name("libx264");
        if (!codec)
            return;
        m_context = avcodec_alloc_context3(codec);
        m_context->width = width;
        m_context->height = height;
        m_context->pix_fmt = format;
        m_context->time_base = AVRational{1, 1000000};
        m_context->gop_size = 1000;
        m_context->max_b_frames = 0;
        m_context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        av_opt_set(m_context->priv_data, "preset", preset, 0);
        av_opt_set(m_context->priv_data, "tune", "zerolatency", 0);
        av_opt_set(m_context->priv_data, "forced-idr", "1", 0);
        if (avcodec_open2(m_context, codec, nullptr) < 0)
            avcodec_free_context(&m_context);
        m_frame = av_frame_alloc();
        m_frame->width = width;
        m_frame->height = height;
        m_frame->format = format;
        av_frame_get_buffer(m_frame, 0);
    }
    ~H264TestStream()
    {
        avcodec_free_context(&m_context);
        av_frame_free(&m_frame);
    }
    H264TestStream(const H264TestStream &) = delete;
    H264TestStream &operator=(const H264TestStream &) = delete;

    bool isValid() const { return m_context && m_context->extradata_size > 0; }
    QSize size() const { return QSize(m_width, m_height); }

    QByteArray parameterSets() const
    {
        return QByteArray(reinterpret_cast<const char *>(m_context->extradata),
                          m_context->extradata_size);
    }

    // The config packet: parameter sets, no timestamp.
    PacketPtr config() const
    {
        return packetWith(QByteArray(reinterpret_cast<const char *>(m_context->extradata),
                                     m_context->extradata_size),
                          AV_NOPTS_VALUE);
    }

    // The next frame at the phone's time ptsUs; key frames on request.
    PacketPtr frame(qint64 ptsUs, bool key = false)
    {
        av_frame_make_writable(m_frame);
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x)
                m_frame->data[0][y * m_frame->linesize[0] + x] = uint8_t(x + y + m_count * 3);
        const bool fullChroma = m_format == AV_PIX_FMT_YUV444P;
        for (int plane = 1; plane < 3; ++plane)
            for (int y = 0; y < (fullChroma ? m_height : m_height / 2); ++y)
                memset(m_frame->data[plane] + y * m_frame->linesize[plane], 128 + plane * 10,
                       size_t(fullChroma ? m_width : m_width / 2));
        m_frame->pts = ptsUs;
        m_frame->pict_type = key ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
        ++m_count;
        if (avcodec_send_frame(m_context, m_frame) < 0)
            return {};
        PacketPtr packet(av_packet_alloc());
        if (avcodec_receive_packet(m_context, packet.get()) < 0)
            return {};
        packet->pts = packet->dts = ptsUs;
        return packet;
    }

private:
    int m_width;
    int m_height;
    AVPixelFormat m_format;
    AVCodecContext *m_context = nullptr;
    AVFrame *m_frame = nullptr;
    int m_count = 0;
};

// One packet of a recording as ffprobe reports it (times in the track's units, ms for mkv).
struct ProbedPacket
{
    qint64 pts = 0;
    qint64 duration = 0;
    bool key = false;
};

struct ProbedTrack
{
    QString codec;
    QString type;
    QVector<ProbedPacket> packets;
};

struct Probe
{
    bool ok = false;
    QString error;
    QVector<ProbedTrack> tracks;
    qint64 durationMs = -1; // the file's duration: the end of its last packet

    const ProbedTrack *track(const QString &type) const
    {
        for (const ProbedTrack &t : tracks)
            if (t.type == type)
                return &t;
        return nullptr;
    }
};

inline Probe probe(const QString &file)
{
    Probe result;
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                   QStringLiteral("stream=index,codec_name,codec_type:packet=stream_index,pts,"
                                  "duration,flags:format=duration"),
                   QStringLiteral("-of"), QStringLiteral("json"), file});
    if (!ffprobe.waitForFinished(30000) || ffprobe.exitCode() != 0) {
        result.error = QString::fromLocal8Bit(ffprobe.readAllStandardError());
        return result;
    }
    const QJsonObject root = QJsonDocument::fromJson(ffprobe.readAllStandardOutput()).object();
    const QJsonValue duration =
        root.value(QStringLiteral("format")).toObject().value(QStringLiteral("duration"));
    if (!duration.isUndefined())
        result.durationMs = qRound64(duration.toVariant().toDouble() * 1000);
    const QJsonArray streams = root.value(QStringLiteral("streams")).toArray();
    result.tracks.resize(streams.size());
    for (const QJsonValue &stream : streams) {
        const QJsonObject s = stream.toObject();
        const int index = s.value(QStringLiteral("index")).toInt();
        if (index < 0 || index >= result.tracks.size())
            continue;
        result.tracks[index].codec = s.value(QStringLiteral("codec_name")).toString();
        result.tracks[index].type = s.value(QStringLiteral("codec_type")).toString();
    }
    for (const QJsonValue &packet : root.value(QStringLiteral("packets")).toArray()) {
        const QJsonObject p = packet.toObject();
        const int index = p.value(QStringLiteral("stream_index")).toInt();
        if (index < 0 || index >= result.tracks.size())
            continue;
        ProbedPacket probed;
        probed.pts = p.value(QStringLiteral("pts")).toVariant().toLongLong();
        probed.duration = p.value(QStringLiteral("duration")).toVariant().toLongLong();
        probed.key = p.value(QStringLiteral("flags")).toString().contains(QLatin1Char('K'));
        result.tracks[index].packets << probed;
    }
    result.ok = true;
    return result;
}

// Decodes every track of the file; returns the decoder's complaints (empty when it decodes
// cleanly) and the sizes of the decoded video frames in order.
inline QString decodeErrors(const QString &file, QVector<QSize> *frameSizes = nullptr)
{
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                   QStringLiteral("frame=media_type,width,height"), QStringLiteral("-of"),
                   QStringLiteral("csv=p=0"), file});
    if (!ffprobe.waitForFinished(60000))
        return QStringLiteral("ffprobe did not finish");
    QString errors = QString::fromLocal8Bit(ffprobe.readAllStandardError()).trimmed();
    if (ffprobe.exitCode() != 0 && errors.isEmpty())
        errors = QStringLiteral("ffprobe failed");
    if (frameSizes) {
        for (const QByteArray &line : ffprobe.readAllStandardOutput().split('\n')) {
            // The first frame after a size change has more fields.
            const QList<QByteArray> parts = line.trimmed().split(',');
            if (parts.size() >= 3 && parts[0] == "video")
                *frameSizes << QSize(parts[1].toInt(), parts[2].toInt());
        }
    }
    return errors;
}

} // namespace RecorderTestTools

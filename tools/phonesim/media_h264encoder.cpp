#include "media_h264encoder.h"

#include "media_annexb.h"
#include "media_log.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

H264Encoder::H264Encoder(const Settings &settings) : m_settings(settings)
{
    if (!open()) {
        avcodec_free_context(&m_context);
        av_frame_free(&m_frame);
        av_packet_free(&m_packet);
    }
}

H264Encoder::~H264Encoder()
{
    avcodec_free_context(&m_context);
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
}

bool H264Encoder::open()
{
    const QSize size = m_settings.size;
    if (size.width() < 16 || size.height() < 16 || size.width() % 8 || size.height() % 8) {
        qCWarning(lcSimMedia) << "unusable video size" << size;
        return false;
    }
    const AVCodec *codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) {
        qCWarning(lcSimMedia) << "libx264 encoder not available";
        return false;
    }
    m_context = avcodec_alloc_context3(codec);
    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (!m_context || !m_frame || !m_packet)
        return false;

    m_context->width = size.width();
    m_context->height = size.height();
    m_context->pix_fmt = AV_PIX_FMT_YUV420P;
    // Frames are numbered, so the time base is one frame.
    m_context->time_base = AVRational{1, m_settings.fps};
    m_context->framerate = AVRational{m_settings.fps, 1};
    m_context->bit_rate = m_settings.bitRate;
    m_context->rc_max_rate = m_settings.bitRate;
    m_context->rc_buffer_size = m_settings.bitRate;
    // An all-but-static screen would otherwise drive the quantiser to lossless and make the
    // encoder (and the key frames) needlessly expensive.
    m_context->qmin = 12;
    m_context->gop_size = m_settings.gopFrames;
    m_context->max_b_frames = 0;
    m_context->thread_count = 1;
    m_context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    m_context->color_range = AVCOL_RANGE_MPEG;
    m_context->colorspace = AVCOL_SPC_SMPTE170M;
    m_context->color_primaries = AVCOL_PRI_SMPTE170M;
    m_context->color_trc = AVCOL_TRC_SMPTE170M;

    AVDictionary *options = nullptr;
    av_dict_set(&options, "preset", "veryfast", 0);
    av_dict_set(&options, "tune", "zerolatency", 0);
    av_dict_set(&options, "forced-idr", "1", 0);
    // Key frames only at the GOP boundary or on request, never on a scene change.
    av_dict_set(&options, "x264-params", "scenecut=0", 0);
    const int rc = avcodec_open2(m_context, codec, &options);
    av_dict_free(&options);
    if (rc < 0) {
        qCWarning(lcSimMedia) << "opening libx264 failed:" << rc;
        return false;
    }
    if (m_context->extradata_size <= 0) {
        qCWarning(lcSimMedia) << "libx264 gave no parameter sets";
        return false;
    }
    m_parameterSets = AnnexB::filtered(
        QByteArray(reinterpret_cast<const char *>(m_context->extradata), m_context->extradata_size),
        AnnexB::isParameterSet);

    m_frame->format = AV_PIX_FMT_YUV420P;
    m_frame->width = size.width();
    m_frame->height = size.height();
    if (av_frame_get_buffer(m_frame, 0) < 0)
        return false;
    return true;
}

PlanarImage H264Encoder::picture()
{
    PlanarImage image;
    if (!isOpen())
        return image;
    // The encoder copies the picture, so this normally keeps the same buffer.
    if (av_frame_make_writable(m_frame) < 0)
        return image;
    for (int i = 0; i < 3; ++i) {
        image.planes[i] = m_frame->data[i];
        image.strides[i] = m_frame->linesize[i];
    }
    image.width = m_frame->width;
    image.height = m_frame->height;
    return image;
}

bool H264Encoder::encode(bool forceKey, QByteArray *accessUnit, bool *keyFrame)
{
    if (!isOpen())
        return false;
    m_frame->pts = m_frameCount++;
    m_frame->pict_type = forceKey ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    int rc = avcodec_send_frame(m_context, m_frame);
    if (rc < 0) {
        qCWarning(lcSimMedia) << "sending a frame to libx264 failed:" << rc;
        return false;
    }
    rc = avcodec_receive_packet(m_context, m_packet);
    if (rc < 0) {
        // Without lookahead or B-frames every picture comes straight back out.
        qCWarning(lcSimMedia) << "libx264 returned no packet:" << rc;
        return false;
    }
    // The first packet also carries x264's version SEI; a phone's access units are bare slices.
    *accessUnit = AnnexB::filtered(
        QByteArray::fromRawData(reinterpret_cast<const char *>(m_packet->data), m_packet->size),
        AnnexB::isSlice);
    *keyFrame = (m_packet->flags & AV_PKT_FLAG_KEY) != 0;
    av_packet_unref(m_packet);
    return !accessUnit->isEmpty();
}

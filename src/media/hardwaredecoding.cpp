#include "hardwaredecoding.h"

#include <QtGlobal>

#include <atomic>
#include <cstdint>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/hwcontext.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace {
AVHWDeviceType platformType()
{
#if defined(Q_OS_MACOS) || defined(Q_OS_IOS)
    return AV_HWDEVICE_TYPE_VIDEOTOOLBOX;
#elif defined(Q_OS_LINUX)
    return AV_HWDEVICE_TYPE_VAAPI;
#else
    return AV_HWDEVICE_TYPE_NONE;
#endif
}

// A device that did not open once will not open for the next session either; every phone
// trying again would only slow its start.
std::atomic_bool deviceUnavailable{false};

bool isHardwareFormat(int format)
{
    const AVPixFmtDescriptor *descriptor = av_pix_fmt_desc_get(AVPixelFormat(format));
    return descriptor && (descriptor->flags & AV_PIX_FMT_FLAG_HWACCEL);
}

// The hardware format travels in the context's opaque field, which nothing else here uses.
AVPixelFormat chooseFormat(AVCodecContext *context, const AVPixelFormat *offered)
{
    const auto wanted = AVPixelFormat(reinterpret_cast<intptr_t>(context->opaque));
    for (const AVPixelFormat *format = offered; *format != AV_PIX_FMT_NONE; ++format) {
        if (*format == wanted)
            return *format;
    }
    // The stream is beyond what the hardware decodes (profile, size): decode in software.
    for (const AVPixelFormat *format = offered; *format != AV_PIX_FMT_NONE; ++format) {
        if (!isHardwareFormat(*format))
            return *format;
    }
    return AV_PIX_FMT_NONE;
}
} // namespace

QByteArray HardwareDecoding::platformDeviceName()
{
    const AVHWDeviceType type = platformType();
    return type == AV_HWDEVICE_TYPE_NONE ? QByteArray()
                                         : QByteArray(av_hwdevice_get_type_name(type));
}

bool HardwareDecoding::requested()
{
    const QByteArray value = qgetenv("PARVIX_HW_DECODE").trimmed().toLower();
    return value == "1" || value == "on" || value == "auto";
}

bool HardwareDecoding::attach(AVCodecContext *context, const AVCodec *codec)
{
    if (!context || !codec || !requested() || deviceUnavailable)
        return false;
    const AVHWDeviceType type = platformType();
    if (type == AV_HWDEVICE_TYPE_NONE)
        return false;
    AVPixelFormat hardwareFormat = AV_PIX_FMT_NONE;
    for (int i = 0;; ++i) {
        const AVCodecHWConfig *config = avcodec_get_hw_config(codec, i);
        if (!config)
            break;
        if ((config->methods & AV_CODEC_HW_CONFIG_METHOD_HW_DEVICE_CTX) &&
            config->device_type == type) {
            hardwareFormat = config->pix_fmt;
            break;
        }
    }
    if (hardwareFormat == AV_PIX_FMT_NONE)
        return false;
    AVBufferRef *device = nullptr;
    if (av_hwdevice_ctx_create(&device, type, nullptr, nullptr, 0) < 0) {
        deviceUnavailable = true;
        return false;
    }
    context->hw_device_ctx = device;
    context->opaque = reinterpret_cast<void *>(intptr_t(hardwareFormat));
    context->get_format = chooseFormat;
    return true;
}

bool HardwareDecoding::isHardwareFrame(const AVFrame *frame)
{
    return frame && frame->hw_frames_ctx && isHardwareFormat(frame->format);
}

AVFrame *HardwareDecoding::download(const AVFrame *frame, SwsContext **converter)
{
    AVFrame *system = av_frame_alloc();
    if (!system)
        return nullptr;
    if (av_hwframe_transfer_data(system, frame, 0) < 0 || av_frame_copy_props(system, frame) < 0) {
        av_frame_free(&system);
        return nullptr;
    }
    AVFrame *planar = toPlanar(system, converter);
    av_frame_free(&system);
    return planar;
}

AVFrame *HardwareDecoding::toPlanar(const AVFrame *frame, SwsContext **converter)
{
    if (!frame || frame->width < 1 || frame->height < 1 || !converter)
        return nullptr;
    AVFrame *planar = av_frame_alloc();
    if (!planar)
        return nullptr;
    if (frame->format == AV_PIX_FMT_YUV420P || frame->format == AV_PIX_FMT_YUVJ420P) {
        if (av_frame_ref(planar, frame) < 0)
            av_frame_free(&planar);
        return planar;
    }
    const AVPixFmtDescriptor *source = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
    // 4:2:0 only: other subsamplings would need scaling, not just a rearrangement.
    if (!source || source->log2_chroma_w != 1 || source->log2_chroma_h != 1 ||
        (source->flags & AV_PIX_FMT_FLAG_HWACCEL)) {
        av_frame_free(&planar);
        return nullptr;
    }
    planar->format = AV_PIX_FMT_YUV420P;
    planar->width = frame->width;
    planar->height = frame->height;
    if (av_frame_get_buffer(planar, 0) < 0 || av_frame_copy_props(planar, frame) < 0) {
        av_frame_free(&planar);
        return nullptr;
    }
    *converter = sws_getCachedContext(*converter, frame->width, frame->height,
                                      AVPixelFormat(frame->format), frame->width, frame->height,
                                      AV_PIX_FMT_YUV420P, SWS_POINT, nullptr, nullptr, nullptr);
    if (!*converter) {
        av_frame_free(&planar);
        return nullptr;
    }
    sws_scale(*converter, frame->data, frame->linesize, 0, frame->height, planar->data,
              planar->linesize);
    return planar;
}

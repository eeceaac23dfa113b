#include "yuvframe.h"

#include <QByteArray>
#include <QtGlobal>
#include <cstring>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

namespace {
bool strideCovers(int stride, int rowBytes)
{
    return qAbs(qint64(stride)) >= rowBytes;
}

struct PackedPlanes
{
    QByteArray bytes[YuvFrame::PlaneCount];
};
} // namespace

YuvFrame YuvFrame::copyPacked(int width, int height, const uint8_t *yData, int yStride,
                              const uint8_t *uData, int uStride, const uint8_t *vData, int vStride)
{
    if (width < 1 || height < 1 || width > kMaxDimension || height > kMaxDimension)
        return {};
    if (!yData || !uData || !vData)
        return {};
    const int cw = chromaWidth(width);
    if (!strideCovers(yStride, width) || !strideCovers(uStride, cw) || !strideCovers(vStride, cw))
        return {};

    YuvFrame frame;
    frame.width = width;
    frame.height = height;
    auto packed = std::make_shared<PackedPlanes>();
    const uint8_t *sources[PlaneCount] = {yData, uData, vData};
    const int sourceStrides[PlaneCount] = {yStride, uStride, vStride};
    for (int plane = 0; plane < PlaneCount; ++plane) {
        const int rowBytes = frame.planeWidth(plane);
        const int rows = frame.planeHeight(plane);
        QByteArray &bytes = packed->bytes[plane];
        bytes = QByteArray(qsizetype(rowBytes) * rows, Qt::Uninitialized);
        for (int row = 0; row < rows; ++row)
            std::memcpy(bytes.data() + qsizetype(row) * rowBytes,
                        sources[plane] + qsizetype(row) * sourceStrides[plane], size_t(rowBytes));
        frame.planes[plane] = reinterpret_cast<const uint8_t *>(bytes.constData());
        frame.strides[plane] = rowBytes;
    }
    frame.storage = std::move(packed);
    return frame;
}

YuvFrame YuvFrame::share(const AVFrame *source)
{
    if (!source || source->width < 1 || source->height < 1)
        return {};
    const bool planar420 =
        source->format == AV_PIX_FMT_YUV420P || source->format == AV_PIX_FMT_YUVJ420P;
    if (!planar420)
        return {};
    const bool topDown =
        source->linesize[0] > 0 && source->linesize[1] > 0 && source->linesize[2] > 0;
    if (!source->buf[0] || !topDown || source->width > kMaxDimension ||
        source->height > kMaxDimension) {
        YuvFrame copy =
            copyPacked(source->width, source->height, source->data[0], source->linesize[0],
                       source->data[1], source->linesize[1], source->data[2], source->linesize[2]);
        copy.pts = source->pts == AV_NOPTS_VALUE ? -1 : source->pts;
        return copy;
    }

    AVFrame *reference = av_frame_alloc();
    if (!reference || av_frame_ref(reference, source) < 0) {
        av_frame_free(&reference);
        return {};
    }
    YuvFrame frame;
    frame.width = reference->width;
    frame.height = reference->height;
    frame.pts = reference->pts == AV_NOPTS_VALUE ? -1 : reference->pts;
    for (int plane = 0; plane < PlaneCount; ++plane) {
        frame.planes[plane] = reference->data[plane];
        frame.strides[plane] = reference->linesize[plane];
    }
    frame.storage = std::shared_ptr<const void>(reference, [](const void *held) {
        AVFrame *owned = static_cast<AVFrame *>(const_cast<void *>(held));
        av_frame_free(&owned);
    });
    return frame;
}

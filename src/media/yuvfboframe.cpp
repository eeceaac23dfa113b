#include "yuvfboframe.h"

#include <QtGlobal>
#include <cstring>

namespace {
QByteArray copyRows(const uint8_t *source, int stride, int rowBytes, int rows)
{
    QByteArray packed(qsizetype(rowBytes) * rows, Qt::Uninitialized);
    char *target = packed.data();
    for (int row = 0; row < rows; ++row) {
        std::memcpy(target, source + qsizetype(row) * stride, size_t(rowBytes));
        target += rowBytes;
    }
    return packed;
}

bool strideCovers(int stride, int rowBytes)
{
    return qAbs(qint64(stride)) >= rowBytes;
}
} // namespace

YuvFrame YuvFrame::copyPacked(int width, int height, const uint8_t *yData, int yStride,
                              const uint8_t *uData, int uStride, const uint8_t *vData, int vStride)
{
    if (width < 1 || height < 1 || width > kMaxDimension || height > kMaxDimension)
        return {};
    if (!yData || !uData || !vData)
        return {};
    const int cw = chromaWidth(width);
    const int ch = chromaHeight(height);
    if (!strideCovers(yStride, width) || !strideCovers(uStride, cw) || !strideCovers(vStride, cw))
        return {};

    YuvFrame frame;
    frame.width = width;
    frame.height = height;
    frame.strideY = width;
    frame.strideU = cw;
    frame.strideV = cw;
    frame.y = copyRows(yData, yStride, width, height);
    frame.u = copyRows(uData, uStride, cw, ch);
    frame.v = copyRows(vData, vStride, cw, ch);
    return frame;
}

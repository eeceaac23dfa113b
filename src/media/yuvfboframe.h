#pragma once
// One YUV420P picture with its planes packed (stride = plane width), as the
// video item keeps it between the GUI thread and the render thread.
#include <QByteArray>
#include <cstdint>

struct YuvFrame
{
    // Larger than any phone screen and than the texture limit of common GPUs;
    // anything beyond is treated as a corrupt size rather than allocated.
    static constexpr int kMaxDimension = 16384;

    int width = 0;
    int height = 0;
    int strideY = 0;
    int strideU = 0;
    int strideV = 0;
    QByteArray y;
    QByteArray u;
    QByteArray v;

    bool isValid() const { return width >= 1 && height >= 1 && !y.isEmpty(); }

    static int chromaWidth(int width) { return (width + 1) / 2; }
    static int chromaHeight(int height) { return (height + 1) / 2; }

    // Copies the planes row by row, dropping any padding. A stride may be
    // negative (bottom-up rows) but never shorter than the row it steps over.
    // Returns an invalid frame when the arguments do not describe a picture.
    static YuvFrame copyPacked(int width, int height, const uint8_t *yData, int yStride,
                               const uint8_t *uData, int uStride, const uint8_t *vData,
                               int vStride);
};

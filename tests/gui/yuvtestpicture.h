#pragma once
// Builds YUV420P test pictures and reads colours back from grabbed windows.
#include "h264teststream.h" // TestPicture::colourDistance
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRect>
#include <cstdint>
#include <functional>

struct YuvTestPicture
{
    int width = 0;
    int height = 0;
    int strideY = 0;
    int strideUV = 0;
    bool bottomUp = false; // rows stored last-first, handed over with negative strides
    QByteArray y;
    QByteArray u;
    QByteArray v;

    // colourAt(x, y) gives the RGB colour of each pixel; chroma is taken from the
    // top-left pixel of each 2x2 block. Padding bytes get values that would show
    // as a strong magenta-green if they were ever read as picture.
    static YuvTestPicture make(int width, int height, int strideY, int strideUV,
                               const std::function<QColor(int, int)> &colourAt,
                               bool bottomUp = false);

    // A yellow band over the top eighth; below it red | green over blue | grey.
    static QColor blocksAt(int width, int height, int x, int y);
    static YuvTestPicture blocks(int width, int height, int strideY = 0, int strideUV = 0,
                                 bool bottomUp = false);
    static YuvTestPicture solid(int width, int height, const QColor &colour);

    // Arguments of present(): the top row's address and the signed stride.
    const uint8_t *yTop() const { return top(y, strideY); }
    const uint8_t *uTop() const { return top(u, strideUV); }
    const uint8_t *vTop() const { return top(v, strideUV); }
    int yStep() const { return bottomUp ? -strideY : strideY; }
    int uvStep() const { return bottomUp ? -strideUV : strideUV; }

private:
    const uint8_t *top(const QByteArray &plane, int stride) const;
};

// Full-range BT.601, computed independently of the renderer.
struct Yuv
{
    uint8_t y, u, v;
};
Yuv rgbToYuv(const QColor &colour);

// Colour at a point given in fractions of the rectangle.
QColor colourAt(const QImage &image, const QRect &area, double fx, double fy);

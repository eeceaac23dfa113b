#pragma once
// YUV420P test pictures of known colours, padded or stored bottom-up as decoders hand them over.
#include "h264teststream.h" // TestPicture::colourDistance
#include "yuvfboframe.h"

#include <QByteArray>
#include <QColor>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

// Full-range BT.601, computed independently of the renderer.
struct Yuv
{
    uint8_t y, u, v;

    static Yuv of(const QColor &c)
    {
        const auto byte = [](double value) {
            return uint8_t(std::clamp(std::lround(value), 0L, 255L));
        };
        const double y = 0.299 * c.red() + 0.587 * c.green() + 0.114 * c.blue();
        return {byte(y), byte((c.blue() - y) / 1.772 + 128.0), byte((c.red() - y) / 1.402 + 128.0)};
    }
};

struct YuvTestPicture
{
    int width = 0, height = 0, strideY = 0, strideUV = 0;
    bool bottomUp = false; // rows stored last-first, handed over with negative strides
    QByteArray y, u, v;

    // colourAt(x, y) gives the RGB colour of each pixel; chroma is taken from the top-left pixel
    // of each 2x2 block. Padding bytes get values that would show as a strong magenta-green if
    // they were ever read as picture.
    static YuvTestPicture make(int width, int height, int strideY, int strideUV,
                               const std::function<QColor(int, int)> &colourAt,
                               bool bottomUp = false)
    {
        const int cw = (width + 1) / 2, ch = (height + 1) / 2;
        const int sy = std::max(strideY, width), suv = std::max(strideUV, cw);
        const QByteArray chroma(qsizetype(suv) * ch, char(255));
        YuvTestPicture p{width,  height,   sy,
                         suv,    bottomUp, QByteArray(qsizetype(sy) * height, char(0)),
                         chroma, chroma};
        const auto row = [bottomUp](int r, int rows) {
            return qsizetype(bottomUp ? rows - 1 - r : r);
        };
        for (int r = 0; r < height; ++r)
            for (int x = 0; x < width; ++x)
                p.y[row(r, height) * p.strideY + x] = char(Yuv::of(colourAt(x, r)).y);
        for (int r = 0; r < ch; ++r)
            for (int x = 0; x < cw; ++x) {
                const Yuv yuv = Yuv::of(colourAt(2 * x, 2 * r));
                p.u[row(r, ch) * p.strideUV + x] = char(yuv.u);
                p.v[row(r, ch) * p.strideUV + x] = char(yuv.v);
            }
        return p;
    }

    // A yellow band over the top eighth; below it red | green over blue | grey.
    static QColor blocksAt(int width, int height, int x, int y)
    {
        if (y < height / 8)
            return QColor(230, 220, 40);
        const bool left = x < width / 2;
        if (y < height / 8 + (height - height / 8) / 2)
            return left ? QColor(200, 40, 40) : QColor(40, 180, 60);
        return left ? QColor(40, 60, 200) : QColor(128, 128, 128);
    }
    static YuvTestPicture blocks(int width, int height, int strideY = 0, int strideUV = 0,
                                 bool bottomUp = false)
    {
        return make(
            width, height, strideY, strideUV,
            [width, height](int x, int y) { return blocksAt(width, height, x, y); }, bottomUp);
    }
    static YuvTestPicture solid(int width, int height, const QColor &colour)
    {
        return make(width, height, 0, 0, [colour](int, int) { return colour; });
    }

    // Arguments of present(): the top row's address and the signed stride.
    const uint8_t *yTop() const { return top(y, strideY); }
    const uint8_t *uTop() const { return top(u, strideUV); }
    const uint8_t *vTop() const { return top(v, strideUV); }
    int yStep() const { return bottomUp ? -strideY : strideY; }
    int uvStep() const { return bottomUp ? -strideUV : strideUV; }
    YuvFrame frame() const
    {
        return YuvFrame::copyPacked(width, height, yTop(), yStep(), uTop(), uvStep(), vTop(),
                                    uvStep());
    }

private:
    const uint8_t *top(const QByteArray &plane, int stride) const
    {
        const auto *data = reinterpret_cast<const uint8_t *>(plane.constData());
        return bottomUp ? data + plane.size() - stride : data;
    }
};

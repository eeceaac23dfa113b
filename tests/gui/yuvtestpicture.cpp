#include "yuvtestpicture.h"

#include <QtGlobal>
#include <algorithm>
#include <cmath>

namespace {
uint8_t clampByte(double value)
{
    return uint8_t(std::clamp(std::lround(value), 0L, 255L));
}

constexpr char kPaddingLuma = char(0);
constexpr char kPaddingChroma = char(255);
} // namespace

Yuv rgbToYuv(const QColor &colour)
{
    const double r = colour.red();
    const double g = colour.green();
    const double b = colour.blue();
    const double y = 0.299 * r + 0.587 * g + 0.114 * b;
    return {clampByte(y), clampByte((b - y) / 1.772 + 128.0), clampByte((r - y) / 1.402 + 128.0)};
}

QColor colourAt(const QImage &image, const QRect &area, double fx, double fy)
{
    const int x = area.x() + int(fx * area.width());
    const int y = area.y() + int(fy * area.height());
    return image.pixelColor(x, y);
}

YuvTestPicture YuvTestPicture::make(int width, int height, int strideY, int strideUV,
                                    const std::function<QColor(int, int)> &colourAt, bool bottomUp)
{
    YuvTestPicture picture;
    picture.width = width;
    picture.height = height;
    const int cw = (width + 1) / 2;
    const int ch = (height + 1) / 2;
    picture.strideY = std::max(strideY, width);
    picture.strideUV = std::max(strideUV, cw);
    picture.bottomUp = bottomUp;
    picture.y = QByteArray(qsizetype(picture.strideY) * height, kPaddingLuma);
    picture.u = QByteArray(qsizetype(picture.strideUV) * ch, kPaddingChroma);
    picture.v = QByteArray(qsizetype(picture.strideUV) * ch, kPaddingChroma);

    auto rowIndex = [bottomUp](int row, int rows) { return bottomUp ? rows - 1 - row : row; };
    for (int row = 0; row < height; ++row) {
        char *line = picture.y.data() + qsizetype(rowIndex(row, height)) * picture.strideY;
        for (int x = 0; x < width; ++x)
            line[x] = char(rgbToYuv(colourAt(x, row)).y);
    }
    for (int row = 0; row < ch; ++row) {
        const qsizetype offset = qsizetype(rowIndex(row, ch)) * picture.strideUV;
        for (int x = 0; x < cw; ++x) {
            const Yuv yuv = rgbToYuv(colourAt(2 * x, 2 * row));
            picture.u[offset + x] = char(yuv.u);
            picture.v[offset + x] = char(yuv.v);
        }
    }
    return picture;
}

QColor YuvTestPicture::blocksAt(int width, int height, int x, int y)
{
    if (y < height / 8)
        return QColor(230, 220, 40); // top marker
    const bool left = x < width / 2;
    const bool upper = y < height / 8 + (height - height / 8) / 2;
    if (upper)
        return left ? QColor(200, 40, 40) : QColor(40, 180, 60);
    return left ? QColor(40, 60, 200) : QColor(128, 128, 128);
}

YuvTestPicture YuvTestPicture::blocks(int width, int height, int strideY, int strideUV,
                                      bool bottomUp)
{
    return make(
        width, height, strideY, strideUV,
        [width, height](int x, int y) { return blocksAt(width, height, x, y); }, bottomUp);
}

YuvTestPicture YuvTestPicture::solid(int width, int height, const QColor &colour)
{
    return make(width, height, 0, 0, [colour](int, int) { return colour; });
}

const uint8_t *YuvTestPicture::top(const QByteArray &plane, int stride) const
{
    const auto *data = reinterpret_cast<const uint8_t *>(plane.constData());
    if (!bottomUp)
        return data;
    return data + plane.size() - stride;
}

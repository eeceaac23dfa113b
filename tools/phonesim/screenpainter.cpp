#include "screenpainter.h"

#include "media_font.h"

#include <algorithm>
#include <cmath>
#include <cstring>

YuvColor toYuv(const Rgb &c)
{
    auto clamp8 = [](int v) { return uint8_t(std::clamp(v, 0, 255)); };
    YuvColor out;
    out.y = clamp8(((66 * c.r + 129 * c.g + 25 * c.b + 128) >> 8) + 16);
    out.u = clamp8(((-38 * c.r - 74 * c.g + 112 * c.b + 128) >> 8) + 128);
    out.v = clamp8(((112 * c.r - 94 * c.g - 18 * c.b + 128) >> 8) + 128);
    return out;
}

namespace {

int evenDown(int v)
{
    return v & ~1;
}

// Fills the luma rectangle and the chroma samples whose 2x2 luma block starts inside it, so
// even-aligned rectangles come out with exact colour edges.
void fillRect(const PlanarImage &img, QRect r, const YuvColor &c)
{
    r = r.intersected(QRect(0, 0, img.width, img.height));
    if (r.isEmpty())
        return;
    for (int y = r.top(); y <= r.bottom(); ++y)
        std::memset(img.planes[0] + y * img.strides[0] + r.left(), c.y, size_t(r.width()));
    const int cx0 = (r.left() + 1) / 2, cx1 = (r.right() + 1) / 2; // [cx0, cx1)
    const int cy0 = (r.top() + 1) / 2, cy1 = (r.bottom() + 1) / 2;
    if (cx1 <= cx0)
        return;
    for (int y = cy0; y < cy1; ++y) {
        std::memset(img.planes[1] + y * img.strides[1] + cx0, c.u, size_t(cx1 - cx0));
        std::memset(img.planes[2] + y * img.strides[2] + cx0, c.v, size_t(cx1 - cx0));
    }
}

void fillSpan(uint8_t *row, int x0, int x1, int limit, uint8_t value)
{
    x0 = std::max(x0, 0);
    x1 = std::min(x1, limit);
    if (x1 > x0)
        std::memset(row + x0, value, size_t(x1 - x0));
}

void fillCircle(const PlanarImage &img, const QPoint &center, int radius, const YuvColor &c)
{
    for (int dy = -radius; dy <= radius; ++dy) {
        const int y = center.y() + dy;
        if (y < 0 || y >= img.height)
            continue;
        const int half = int(std::sqrt(double(radius * radius - dy * dy)));
        fillSpan(img.planes[0] + y * img.strides[0], center.x() - half, center.x() + half + 1,
                 img.width, c.y);
    }
    const int cr = radius / 2;
    const QPoint cc(center.x() / 2, center.y() / 2);
    const int cw = img.width / 2, ch = img.height / 2;
    for (int dy = -cr; dy <= cr; ++dy) {
        const int y = cc.y() + dy;
        if (y < 0 || y >= ch)
            continue;
        const int half = int(std::sqrt(double(cr * cr - dy * dy)));
        fillSpan(img.planes[1] + y * img.strides[1], cc.x() - half, cc.x() + half + 1, cw, c.u);
        fillSpan(img.planes[2] + y * img.strides[2], cc.x() - half, cc.x() + half + 1, cw, c.v);
    }
}

void drawText(const PlanarImage &img, QPoint origin, int scale, const QString &text,
              const YuvColor &c)
{
    for (char32_t ch : text.toUcs4()) {
        if (origin.x() + MediaFont::kColumns * scale > img.width)
            return; // clipped at the right edge rather than wrapped
        const unsigned char *rows = MediaFont::glyph(ch);
        for (int gy = 0; gy < MediaFont::kRows; ++gy) {
            for (int gx = 0; gx < MediaFont::kColumns; ++gx) {
                if (rows[gy] & (1u << (MediaFont::kColumns - 1 - gx)))
                    fillRect(img,
                             QRect(origin.x() + gx * scale, origin.y() + gy * scale, scale, scale),
                             c);
            }
        }
        origin.rx() += MediaFont::kAdvanceX * scale;
    }
}

} // namespace

QRect ScreenPainter::statusBarRect(const QSize &size)
{
    return QRect(0, 0, size.width(), std::max(8, evenDown(size.height() / 25)));
}

QRect ScreenPainter::navigationBarRect(const QSize &size)
{
    const int h = std::max(8, evenDown(size.height() / 16));
    return QRect(0, size.height() - h, size.width(), h);
}

int ScreenPainter::touchMarkRadius(const QSize &size)
{
    return std::max(4, std::min(size.width(), size.height()) / 30);
}

int ScreenPainter::textScale(const QSize &size)
{
    // Even, so glyph pixels cover whole chroma samples.
    return std::max(2, evenDown(std::min(size.width(), size.height()) / 160));
}

QRect ScreenPainter::moverRect(const QSize &size, qint64 frameNumber, int cycleFrames)
{
    const int side = std::max(8, evenDown(std::min(size.width(), size.height()) / 8));
    const int margin = textScale(size) * 3;
    const int travel = std::max(0, size.width() - 2 * margin - side);
    // A triangle wave, so a loop of cycleFrames frames joins up without a jump.
    const int cycle = std::max(2, cycleFrames);
    const qint64 phase = frameNumber % cycle;
    const double t = phase <= cycle / 2 ? double(phase) / (cycle / 2)
                                        : double(cycle - phase) / (cycle - cycle / 2);
    const int x = margin + evenDown(int(std::lround(t * travel)));
    const int y = evenDown(size.height() * 3 / 5);
    return QRect(x, y, side, side);
}

void ScreenPainter::setLines(const QStringList &lines)
{
    m_lines = lines;
}

void ScreenPainter::addTouchMark(const QSize &size, const QPoint &pos)
{
    if (!QRect(QPoint(0, 0), size).contains(pos))
        return;
    m_marks.push_back(pos);
    while (m_marks.size() > size_t(kMaxTouchMarks))
        m_marks.pop_front();
}

void ScreenPainter::clearTouchMarks()
{
    m_marks.clear();
}

void ScreenPainter::paint(const PlanarImage &img, qint64 frameNumber, int cycleFrames) const
{
    const QSize size(img.width, img.height);
    fillRect(img, QRect(QPoint(0, 0), size), toYuv(kBackgroundColor));
    const QRect statusBar = statusBarRect(size);
    fillRect(img, statusBar, toYuv(kStatusBarColor));
    fillRect(img, navigationBarRect(size), toYuv(kNavigationBarColor));

    const int scale = textScale(size);
    const YuvColor text = toYuv(kTextColor);
    QPoint origin(scale * 3, statusBar.bottom() + 1 + scale * 4);
    const QString frame = QString::number(frameNumber);
    for (const QString &line : m_lines) {
        drawText(img, origin, scale, QString(line).replace(QLatin1String("%frame"), frame), text);
        origin.ry() += MediaFont::kAdvanceY * scale;
    }

    fillRect(img, moverRect(size, frameNumber, cycleFrames), toYuv(kMoverColor));

    const int radius = touchMarkRadius(size);
    const YuvColor mark = toYuv(kTouchMarkColor);
    for (const QPoint &pos : m_marks)
        fillCircle(img, pos, radius, mark);
}

#include "media_busyscreen.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// A steady swipe: the page moves this share of the screen height per second.
constexpr int kScrollPercentPerSecond = 17;
// Every third card of the page plays video: grain that no motion search can predict.
constexpr int kVideoCardEvery = 3;

uint32_t mix(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}

// Rises from 0 to period / 2 and falls back, so gradients and paths join up without an edge.
int triangle(qint64 v, int period)
{
    int r = int(v % period);
    if (r < 0)
        r += period;
    return r < period / 2 ? r : period - r;
}

uint8_t clampByte(int v)
{
    return uint8_t(std::clamp(v, 0, 255));
}

struct Layout
{
    int width = 0, height = 0;
    int statusBar = 0, navigationBar = 0;
    int cell = 0, line = 0; // a glyph's width, a text line's height
    int section = 0;        // the page repeats text then a card every this many rows
    int textEnd = 0, cardTop = 0, cardBottom = 0, cardLeft = 0, cardRight = 0;
    int lattice = 0; // the photos' blob size
    qint64 frame = 0;
    qint64 scroll = 0;
    int fps = 30;

    bool inPage(int y) const { return y >= statusBar && y < height - navigationBar; }
    qint64 pageY(int y) const { return y - statusBar + scroll; }
};

Layout layoutFor(const PlanarImage &img, qint64 frame, int fps)
{
    Layout l;
    l.width = img.width;
    l.height = img.height;
    l.statusBar = std::max(2, img.height / 20) & ~1;
    l.navigationBar = std::max(2, img.height / 24) & ~1;
    l.cell = std::max(4, img.width / 90);
    l.line = l.cell * 3 / 2;
    l.section = std::max(16, img.height / 2);
    l.textEnd = l.section * 55 / 100;
    l.cardTop = l.section * 60 / 100;
    l.cardBottom = l.section * 95 / 100;
    l.cardLeft = img.width / 24;
    l.cardRight = img.width - img.width / 24;
    l.lattice = std::max(8, img.width / 20);
    l.frame = frame;
    l.fps = std::max(1, fps);
    l.scroll = frame * img.height * kScrollPercentPerSecond / (100 * l.fps);
    return l;
}

int pageBackground(int x, qint64 pageY)
{
    return 190 + int((x / 4 + pageY / 3) % 50);
}

void paintTextRow(const Layout &l, qint64 pageY, uint8_t *row)
{
    const qint64 lineIndex = pageY / l.line;
    const int lineRow = int(pageY % l.line);
    // Lines end where their paragraph does, and leave a gap above the next.
    const int lineEnd = l.width * int(55 + mix(uint32_t(lineIndex)) % 40) / 100;
    const bool gap = lineRow < l.line / 6 || mix(uint32_t(lineIndex) * 31u) % 9 == 0;
    for (int x = 0; x < l.width; ++x) {
        const int cellIndex = x / l.cell;
        const unsigned cell = unsigned(lineIndex) * 7919u + unsigned(cellIndex) * 104729u;
        const bool space = mix(cell) % 6 == 0;
        bool ink = false;
        if (!gap && !space && x >= l.cell && x < lineEnd) {
            const unsigned bit = unsigned(lineRow) * unsigned(l.cell) + unsigned(x % l.cell);
            ink = ((cell * 2654435761u + bit * 40503u) >> 29) < 3;
        }
        row[x] = uint8_t(ink ? 20 + int(cell % 60) : pageBackground(x, pageY));
    }
}

// A photo card: a drifting diagonal gradient, soft blobs and grain. The video card's blobs
// pan and its grain is new in every frame; the others' are fixed to the page.
void paintCardRow(const Layout &l, qint64 pageY, qint64 section, int cardRow, uint8_t *row)
{
    const bool video = section % kVideoCardEvery == 1;
    const int L = l.lattice;
    const qint64 ny = cardRow + (video ? 0 : section * 4099);
    const qint64 j = ny / L;
    const int fy = int(ny % L);
    const qint64 pan = video ? l.frame * l.width / (4 * l.fps) : 0;
    const qint64 drift = l.frame * 192 / l.fps;
    const uint32_t frameSeed = video ? mix(uint32_t(l.frame) * 0x9E3779B9u) : 0;
    qint64 lastI = -1;
    int left = 0, right = 0;
    for (int x = 0; x < l.width; ++x) {
        if (x < l.cardLeft || x >= l.cardRight) {
            row[x] = uint8_t(pageBackground(x, pageY));
            continue;
        }
        const int px = x - l.cardLeft;
        const qint64 nx = px + pan;
        const qint64 i = nx / L;
        if (i != lastI) {
            auto corner = [&](qint64 ci, qint64 cj) {
                return int(mix(uint32_t(ci) * 73856093u ^ uint32_t(cj) * 19349663u ^
                               uint32_t(section) * 83492791u) &
                           255);
            };
            const int a = corner(i, j), b = corner(i + 1, j);
            const int c = corner(i, j + 1), d = corner(i + 1, j + 1);
            left = a + (c - a) * fy / L;
            right = b + (d - b) * fy / L;
            lastI = i;
        }
        const int blob = left + (right - left) * int(nx % L) / L;
        const int gradient = triangle(px + cardRow + drift + section * 97, 512) / 2;
        const uint32_t seed = uint32_t(px) * 2654435761u ^ uint32_t(ny) * 40503u ^ frameSeed;
        const int grain = video ? int(mix(seed) & 31) - 16 : int(mix(seed) & 15) - 8;
        row[x] = clampByte(25 + gradient + blob * 9 / 20 + grain);
    }
}

void paintLuma(const PlanarImage &img, const Layout &l)
{
    for (int y = 0; y < l.height; ++y) {
        uint8_t *row = img.planes[0] + y * img.strides[0];
        if (!l.inPage(y)) {
            std::memset(row, y < l.statusBar ? 70 : 30, size_t(l.width));
            continue;
        }
        const qint64 pageY = l.pageY(y);
        const qint64 section = pageY / l.section;
        const int within = int(pageY % l.section);
        if (within < l.textEnd) {
            paintTextRow(l, pageY, row);
        } else if (within >= l.cardTop && within < l.cardBottom) {
            paintCardRow(l, pageY, section, within - l.cardTop, row);
        } else {
            for (int x = 0; x < l.width; ++x)
                row[x] = uint8_t(pageBackground(x, pageY));
        }
    }
}

void paintChroma(const PlanarImage &img, const Layout &l)
{
    const int cw = (l.width + 1) / 2, ch = (l.height + 1) / 2;
    const qint64 drift = l.frame * 160 / l.fps;
    for (int cy = 0; cy < ch; ++cy) {
        uint8_t *u = img.planes[1] + cy * img.strides[1];
        uint8_t *v = img.planes[2] + cy * img.strides[2];
        const int y = 2 * cy;
        if (!l.inPage(y)) {
            const bool status = y < l.statusBar;
            std::memset(u, status ? 150 : 128, size_t(cw));
            std::memset(v, status ? 110 : 128, size_t(cw));
            continue;
        }
        const qint64 pageY = l.pageY(y);
        const qint64 section = pageY / l.section;
        const int within = int(pageY % l.section);
        const bool card = within >= l.cardTop && within < l.cardBottom;
        for (int cx = 0; cx < cw; ++cx) {
            const int x = 2 * cx;
            if (card && x >= l.cardLeft && x < l.cardRight) {
                const int px = (x - l.cardLeft) / 2, py = (within - l.cardTop) / 2;
                u[cx] = uint8_t(64 + triangle(2 * px + drift + section * 50, 256));
                v[cx] = uint8_t(64 + triangle(3 * py - drift + section * 31, 256));
            } else {
                // Faint tinted blocks, as highlighted passages and links give a page.
                u[cx] = uint8_t(128 + int((pageY / 48 + cx / 24 + 1) % 5 - 2) * 8);
                v[cx] = uint8_t(128 + int((pageY / 48 + cx / 24 + 2) % 5 - 2) * 8);
            }
        }
    }
}

// A shaded orange ball bouncing over the page and the bars.
void paintBall(const PlanarImage &img, const Layout &l)
{
    const int r = std::max(4, std::min(l.width, l.height) / 9);
    if (2 * r + 2 >= l.width || 2 * r + 2 >= l.height)
        return;
    const int cx = r + triangle(l.frame * l.width * 6 / (10 * l.fps), 2 * (l.width - 2 * r - 1));
    const int cy = r + triangle(l.frame * l.height * 7 / (20 * l.fps), 2 * (l.height - 2 * r - 1));
    for (int dy = -r; dy <= r; ++dy) {
        const int y = cy + dy;
        const int half = int(std::sqrt(double(r * r - dy * dy)));
        uint8_t *row = img.planes[0] + y * img.strides[0];
        for (int dx = -half; dx <= half; ++dx)
            row[cx + dx] = uint8_t(235 - (dx * dx + dy * dy) * 140 / (r * r));
    }
    const int cr = r / 2;
    for (int dy = -cr; dy <= cr; ++dy) {
        const int y = cy / 2 + dy;
        const int half = int(std::sqrt(double(cr * cr - dy * dy)));
        const int x0 = cx / 2 - half;
        std::memset(img.planes[1] + y * img.strides[1] + x0, 70, size_t(2 * half + 1));
        std::memset(img.planes[2] + y * img.strides[2] + x0, 190, size_t(2 * half + 1));
    }
}

} // namespace

namespace BusyScreen {

void paint(const PlanarImage &image, qint64 frameNumber, int fps)
{
    if (!image.planes[0] || image.width < 16 || image.height < 16)
        return;
    const Layout l = layoutFor(image, frameNumber, fps);
    paintLuma(image, l);
    paintChroma(image, l);
    paintBall(image, l);
}

} // namespace BusyScreen

#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>

// A colour as 8-bit RGB, and its BT.601 limited-range YCbCr form (what the encoder signals).
struct Rgb
{
    int r = 0, g = 0, b = 0;
};
struct YuvColor
{
    uint8_t y = 16, u = 128, v = 128;
};
YuvColor toYuv(const Rgb &rgb);

// A writable YUV 4:2:0 planar picture owned elsewhere (an encoder's input frame).
struct PlanarImage
{
    uint8_t *planes[3] = {nullptr, nullptr, nullptr};
    int strides[3] = {0, 0, 0};
    int width = 0;  // even
    int height = 0; // even
};

// Paints the virtual phone's screen: a blue status bar on top, an orange navigation bar at the
// bottom, a few lines of text on a dark background, a square that moves back and forth, and a
// magenta dot wherever a touch landed. The fixed layout lets checks on decoded pictures tell
// an upright, correctly coloured picture from a flipped or colour-swapped one.
class ScreenPainter
{
public:
    static constexpr Rgb kStatusBarColor{33, 98, 196};
    static constexpr Rgb kNavigationBarColor{230, 126, 34};
    static constexpr Rgb kBackgroundColor{40, 44, 52};
    static constexpr Rgb kTextColor{255, 255, 255};
    static constexpr Rgb kMoverColor{46, 204, 113};
    static constexpr Rgb kTouchMarkColor{236, 0, 200};
    static constexpr int kMaxTouchMarks = 20;

    static QRect statusBarRect(const QSize &size);
    static QRect navigationBarRect(const QSize &size);
    static int touchMarkRadius(const QSize &size);
    static int textScale(const QSize &size);
    // Where the moving square is in frame frameNumber of a cycle of cycleFrames frames.
    static QRect moverRect(const QSize &size, qint64 frameNumber, int cycleFrames);

    // Text lines drawn under the status bar; "%frame" in a line is replaced by the frame number.
    void setLines(const QStringList &lines);

    // Marks outside the picture are ignored; the oldest mark goes when there are too many.
    void addTouchMark(const QSize &size, const QPoint &pos);
    void clearTouchMarks();
    int touchMarkCount() const { return int(m_marks.size()); }

    void paint(const PlanarImage &image, qint64 frameNumber, int cycleFrames) const;

private:
    QStringList m_lines;
    std::deque<QPoint> m_marks;
};

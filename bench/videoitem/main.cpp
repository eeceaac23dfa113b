// Cost of YuvVideoItem::present per frame: the one pixel copy on the GUI thread
// (planes packed out of decoder-sized strides) plus the hand-over to the renderer.
// Prints figures only.
#include "yuvframe.h"
#include "yuvvideoitem.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <cstdio>
#include <vector>

namespace {
struct Source
{
    int width;
    int height;
    int strideY;
    int strideUV;
    std::vector<uint8_t> y, u, v;

    Source(int w, int h)
        : width(w), height(h), strideY((w + 63) / 64 * 64), strideUV((strideY / 2 + 31) / 32 * 32),
          y(size_t(strideY) * h, 100), u(size_t(strideUV) * ((h + 1) / 2), 90),
          v(size_t(strideUV) * ((h + 1) / 2), 160)
    {}
};

template<typename Step> double nanosecondsPerFrame(int frames, Step step)
{
    for (int i = 0; i < 20; ++i) // warm caches and the allocator
        step();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < frames; ++i)
        step();
    return double(clock.nsecsElapsed()) / frames;
}

void measure(int width, int height)
{
    Source source(width, height);
    const int frames = width * height > 500000 ? 500 : 2000;
    const double bytes = double(width) * height * 1.5;

    const double copyNs = nanosecondsPerFrame(frames, [&] {
        YuvFrame frame =
            YuvFrame::copyPacked(width, height, source.y.data(), source.strideY, source.u.data(),
                                 source.strideUV, source.v.data(), source.strideUV);
        if (!frame.isValid())
            std::abort();
    });

    YuvVideoItem item; // not in a window: update() does nothing, as for a hidden tile
    const double presentNs = nanosecondsPerFrame(frames, [&] {
        item.present(width, height, source.y.data(), source.strideY, source.u.data(),
                     source.strideUV, source.v.data(), source.strideUV);
    });

    std::printf("%4dx%-4d  strides %4d/%-4d  copy %8.1f us  present %8.1f us  (%6.0f MB/s)  "
                "%5.1f%% of a 60 fps frame\n",
                width, height, source.strideY, source.strideUV, copyNs / 1000.0, presentNs / 1000.0,
                bytes / presentNs * 1000.0, presentNs / 166666.7);
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::printf("YuvVideoItem::present, per frame (average)\n");
    measure(280, 622);
    measure(720, 1600);
    measure(1080, 2400);
    return 0;
}

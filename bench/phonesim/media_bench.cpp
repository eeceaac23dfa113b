// CPU cost of one simulated phone's media: live encoding, replayed loops and the Opus tone.
// Prints figures; run it on an otherwise idle machine for meaningful numbers.
#include "audiosource.h"
#include "media_replayloop.h"
#include "screenpainter.h"
#include "videosource.h"

#include <QTemporaryDir>
#include <QTextStream>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Scenario
{
    const char *label;
    QSize physicalSize;
    int fps;
    int bitRate;
};

VideoOptions optionsFor(const Scenario &s, bool replay, const QString &cacheDir)
{
    VideoOptions options;
    options.physicalSize = s.physicalSize;
    options.maxFps = s.fps;
    options.bitRate = s.bitRate;
    options.replay = replay;
    options.cacheDir = cacheDir;
    options.name = QStringLiteral("Bench Phone");
    options.serial = QStringLiteral("bench-0001");
    return options;
}

// What a phone's server does with each packet besides producing it: one write per frame.
void sendTo(int fd, const std::vector<EncodedPacket> &packets, qint64 *bytes)
{
    for (const EncodedPacket &packet : packets) {
        char header[12] = {};
        if (write(fd, header, sizeof header) < 0 ||
            write(fd, packet.data.constData(), size_t(packet.data.size())) < 0)
            std::perror("write");
        *bytes += packet.data.size() + 12;
    }
}

void benchLive(const Scenario &s, int seconds, int sink)
{
    VideoSource source(optionsFor(s, false, QString()));
    if (!source.isValid()) {
        std::printf("  live: encoder did not open\n");
        return;
    }
    const int frames = s.fps * seconds;
    qint64 bytes = 0;
    const double start = cpuSeconds();
    for (int i = 0; i < frames; ++i)
        sendTo(sink, source.nextFrame(qint64(i) * source.frameIntervalUs()), &bytes);
    const double cpu = cpuSeconds() - start;
    const double share = cpu / seconds;
    std::printf("  live   %4dx%-4d: %6.2f ms/frame, %5.1f%% of a core per phone "
                "(%4.1f phones per core), %6.0f kbit/s\n",
                source.videoSize().width(), source.videoSize().height(), cpu * 1000 / frames,
                share * 100, 1 / share, bytes * 8.0 / seconds / 1000);

    // The painter's share of that.
    std::vector<uint8_t> y(size_t(source.videoSize().width() * source.videoSize().height()));
    std::vector<uint8_t> u(y.size() / 4), v(y.size() / 4);
    PlanarImage image;
    image.planes[0] = y.data();
    image.planes[1] = u.data();
    image.planes[2] = v.data();
    image.strides[0] = source.videoSize().width();
    image.strides[1] = image.strides[2] = source.videoSize().width() / 2;
    image.width = source.videoSize().width();
    image.height = source.videoSize().height();
    ScreenPainter painter;
    painter.setLines({QStringLiteral("Bench Phone"), QStringLiteral("bench-0001"),
                      QStringLiteral("frame %frame")});
    for (int i = 0; i < ScreenPainter::kMaxTouchMarks; ++i)
        painter.addTouchMark(source.videoSize(), QPoint(20 + i * 10, 300 + i * 5));
    const double paintStart = cpuSeconds();
    for (int i = 0; i < frames; ++i)
        painter.paint(image, i, s.fps * 2);
    std::printf("         painting alone: %.3f ms/frame\n",
                (cpuSeconds() - paintStart) * 1000 / frames);
}

void benchReplay(const Scenario &s, int seconds, int phones, int sink)
{
    QTemporaryDir cache;
    double start = cpuSeconds();
    auto first = std::make_unique<VideoSource>(optionsFor(s, true, cache.path()));
    const double encodeCost = cpuSeconds() - start;
    if (!first->isValid()) {
        std::printf("  replay: loop could not be made\n");
        return;
    }
    const QSize size = first->videoSize();
    first.reset(); // the next phone must read the file, as a second simulator process would
    start = cpuSeconds();
    std::vector<std::unique_ptr<VideoSource>> sources;
    sources.push_back(std::make_unique<VideoSource>(optionsFor(s, true, cache.path())));
    const double loadCost = cpuSeconds() - start;
    for (int i = 1; i < phones; ++i)
        sources.push_back(std::make_unique<VideoSource>(optionsFor(s, true, cache.path())));

    const int frames = s.fps * seconds;
    qint64 bytes = 0;
    start = cpuSeconds();
    for (int i = 0; i < frames; ++i) {
        for (auto &source : sources)
            sendTo(sink, source->nextFrame(qint64(i) * source->frameIntervalUs()), &bytes);
    }
    const double cpu = cpuSeconds() - start;
    const double share = cpu / seconds / phones;
    std::printf("  replay %4dx%-4d: loop encoded once in %.0f ms CPU, loaded from the cache "
                "in %.1f ms\n",
                size.width(), size.height(), encodeCost * 1000, loadCost * 1000);
    std::printf("         %d phones streaming: %.4f%% of a core per phone incl. writes, "
                "%.2f%% of a core for all %d, %6.0f kbit/s per phone\n",
                phones, share * 100, share * phones * 100, phones,
                bytes * 8.0 / seconds / phones / 1000);
}

void benchAudio(int seconds, int sink)
{
    AudioSource source(440);
    const int packets = seconds * 50;
    qint64 bytes = 0;
    const double start = cpuSeconds();
    for (int i = 0; i < packets; ++i)
        sendTo(sink, {source.nextPacket(qint64(i) * 20000)}, &bytes);
    const double share = (cpuSeconds() - start) / seconds;
    std::printf("  opus 48 kHz stereo: %.2f%% of a core per phone, %.0f kbit/s\n", share * 100,
                bytes * 8.0 / seconds / 1000);
}

} // namespace

int main(int argc, char **argv)
{
    av_log_set_level(AV_LOG_ERROR);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    const int sink = open("/dev/null", O_WRONLY);
    const Scenario scenarios[] = {
        // A tile: 622 rounds down to 616, the encoder's multiple of 8.
        {"tile, 280x622 @ 5 fps, 8 Mbit/s", QSize(280, 622), 5, 8000000},
        {"enlarged, 720x1600 @ 30 fps, 8 Mbit/s", QSize(720, 1600), 30, 8000000},
        {"full, 1080x2400 @ 60 fps, 8 Mbit/s", QSize(1080, 2400), 60, 8000000},
    };
    std::printf("phonesim media cost, %d s of stream per figure (CPU time, getrusage)\n", seconds);
    for (const Scenario &s : scenarios) {
        std::printf("%s\n", s.label);
        benchLive(s, seconds, sink);
        benchReplay(s, seconds, 32, sink);
    }
    benchAudio(seconds, sink);
    close(sink);
    return 0;
}

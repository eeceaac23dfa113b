#include "videosource.h"

#include "media_clip.h"
#include "media_h264encoder.h"
#include "media_replayloop.h"
#include "media_videosize.h"
#include "screenpainter.h"

#include <algorithm>

namespace {

constexpr int kDefaultFps = 60;
constexpr int kHighestFps = 240;
constexpr int kDefaultBitRate = 8000000;
// Like a phone's encoder: a key frame every ten seconds unless one is asked for.
constexpr int kKeyFrameIntervalSeconds = 10;
// The moving square crosses the screen and back in this time.
constexpr int kMotionCycleSeconds = 2;

} // namespace

class VideoSourcePrivate
{
public:
    explicit VideoSourcePrivate(const VideoOptions &options);

    QSize currentSize() const
    {
        if (clip)
            return clip->size;
        return landscape ? portraitSize.transposed() : portraitSize;
    }
    void start();
    void nextLiveFrame(qint64 ptsUs, std::vector<EncodedPacket> *packets);
    void nextReplayFrame(qint64 ptsUs, std::vector<EncodedPacket> *packets);
    void nextClipFrame(qint64 ptsUs, std::vector<EncodedPacket> *packets);

    VideoOptions options;
    QSize portraitSize;
    bool landscape = false;
    int fps = kDefaultFps;
    int bitRate = kDefaultBitRate;
    bool needConfig = true;

    // live
    std::unique_ptr<H264Encoder> encoder;
    ScreenPainter painter;
    qint64 frameNumber = 0;
    bool forceKeyFrame = false;

    // replay
    std::shared_ptr<const ReplayLoop> loop;
    size_t loopIndex = 0;

    // clip: loaded once, kept across rotations
    std::optional<VideoClip> clip;
    QString clipError;
};

VideoSourcePrivate::VideoSourcePrivate(const VideoOptions &options)
    : options(options), portraitSize(encodedVideoSize(options.physicalSize, options.maxSize))
{
    fps = options.maxFps > 0 ? std::min(options.maxFps, kHighestFps) : kDefaultFps;
    bitRate = options.bitRate > 0 ? options.bitRate : kDefaultBitRate;
    painter.setLines({options.name, options.serial, QStringLiteral("frame %frame")});
    if (!options.clipPath.isEmpty()) {
        clip = VideoClip::load(options.clipPath, &clipError);
        if (clip)
            fps = clip->fps;
    }
}

void VideoSourcePrivate::start()
{
    needConfig = true;
    encoder.reset();
    loop.reset();
    loopIndex = 0;
    if (!options.clipPath.isEmpty() || !portraitSize.isValid())
        return;
    if (options.replay) {
        loop = ReplayLoopCache::obtain(options.cacheDir, currentSize(), fps, bitRate);
    } else {
        encoder = std::make_unique<H264Encoder>(
            H264Encoder::Settings{currentSize(), fps, bitRate, fps * kKeyFrameIntervalSeconds});
    }
}

void VideoSourcePrivate::nextLiveFrame(qint64 ptsUs, std::vector<EncodedPacket> *packets)
{
    if (!encoder || !encoder->isOpen())
        return;
    const PlanarImage picture = encoder->picture();
    if (!picture.planes[0])
        return;
    painter.paint(picture, frameNumber, fps * kMotionCycleSeconds);
    EncodedPacket unit;
    unit.ptsUs = ptsUs;
    // Parameter sets are only ever followed by a key frame.
    if (!encoder->encode(forceKeyFrame || needConfig, &unit.data, &unit.keyFrame))
        return;
    ++frameNumber;
    forceKeyFrame = false;
    if (needConfig) {
        packets->push_back({encoder->parameterSets(), ptsUs, true, false});
        needConfig = false;
    }
    packets->push_back(std::move(unit));
}

void VideoSourcePrivate::nextReplayFrame(qint64 ptsUs, std::vector<EncodedPacket> *packets)
{
    if (!loop)
        return;
    if (needConfig) {
        packets->push_back({loop->parameterSets, ptsUs, true, false});
        needConfig = false;
    }
    // The cached access units are shared, not copied.
    packets->push_back({loop->frames[loopIndex], ptsUs, false, loopIndex == 0});
    loopIndex = (loopIndex + 1) % loop->frames.size();
}

void VideoSourcePrivate::nextClipFrame(qint64 ptsUs, std::vector<EncodedPacket> *packets)
{
    if (!clip)
        return;
    if (needConfig) {
        packets->push_back({clip->parameterSets, ptsUs, true, false});
        needConfig = false;
    }
    // The clip opens with an IDR, so starting over needs no new parameter sets.
    const VideoClip::Frame &frame = clip->frames[loopIndex];
    packets->push_back({frame.data, ptsUs, false, frame.keyFrame});
    loopIndex = (loopIndex + 1) % clip->frames.size();
}

VideoSource::VideoSource(const VideoOptions &options)
    : d(std::make_unique<VideoSourcePrivate>(options))
{
    d->start();
}

VideoSource::~VideoSource() = default;

bool VideoSource::isValid() const
{
    if (!d->options.clipPath.isEmpty())
        return d->clip.has_value();
    return d->options.replay ? d->loop != nullptr : (d->encoder && d->encoder->isOpen());
}

QString VideoSource::errorString() const
{
    if (!d->options.clipPath.isEmpty())
        return d->clip ? QString()
                       : QStringLiteral("Could not open the video clip: ") + d->clipError;
    return isValid() ? QString() : QStringLiteral("Could not open the video encoder");
}

QSize VideoSource::videoSize() const
{
    return d->currentSize();
}

int VideoSource::frameIntervalUs() const
{
    return (1000000 + d->fps / 2) / d->fps;
}

void VideoSource::rotate()
{
    // A clip keeps its orientation; it restarts as a fresh stream all the same.
    if (!d->clip)
        d->landscape = !d->landscape;
    // Positions of the old orientation mean nothing on the new one.
    d->painter.clearTouchMarks();
    d->start();
}

void VideoSource::resetVideo()
{
    d->needConfig = true;
    d->forceKeyFrame = true;
    d->loopIndex = 0;
}

void VideoSource::addTouchMark(const QPoint &videoPos)
{
    d->painter.addTouchMark(d->currentSize(), videoPos);
}

std::vector<EncodedPacket> VideoSource::nextFrame(qint64 ptsUs)
{
    std::vector<EncodedPacket> packets;
    if (!d->options.clipPath.isEmpty())
        d->nextClipFrame(ptsUs, &packets);
    else if (d->options.replay)
        d->nextReplayFrame(ptsUs, &packets);
    else
        d->nextLiveFrame(ptsUs, &packets);
    return packets;
}

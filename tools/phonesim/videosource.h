#pragma once

#include <QByteArray>
#include <QPoint>
#include <QSize>
#include <QString>

#include <memory>
#include <vector>

// One unit of the phone's media stream: either the codec's parameter block
// (config) or one encoded access unit / audio packet.
struct EncodedPacket
{
    QByteArray data;
    qint64 ptsUs = 0;
    bool config = false;
    bool keyFrame = false;
};

struct VideoOptions
{
    QSize physicalSize; // the phone's portrait screen, e.g. 1080x2400
    int maxSize = 0;    // 0: no limit; else longest side <= maxSize; both sides multiples of 8
    int maxFps = 0;     // 0: 60
    int bitRate = 8000000;
    // Encode a short loop once, cache it under cacheDir (empty: a folder in the temp dir) and
    // stream it with rising pts. The loop is shared by every phone with the same size, fps and
    // bit rate, so it shows neither name, serial nor touch marks.
    bool replay = false;
    QString cacheDir;
    // Non-empty: stream this H.264 clip (see VideoClip) in a loop instead of the screen, at
    // the clip's own size and frame rate. maxSize, maxFps and bitRate do not apply, and the
    // picture does not turn on rotation.
    QString clipPath;
    QString name, serial; // drawn on the synthetic screen
};

class VideoSourcePrivate;

// The phone's screen encoder: a synthetic picture encoded as H.264 Annex B,
// live (drawn and encoded per frame) or replayed from a cached loop; or a given clip.
class VideoSource
{
public:
    explicit VideoSource(const VideoOptions &options);
    ~VideoSource();
    VideoSource(const VideoSource &) = delete;
    VideoSource &operator=(const VideoSource &) = delete;

    bool isValid() const;        // encoder opened, or clip loaded
    QString errorString() const; // why not valid
    QSize videoSize() const;     // current encoded size (orientation applied)
    int frameIntervalUs() const; // from maxFps
    void rotate();     // swap orientation; next packets: config + key frame of the new size
    void resetVideo(); // next packets: config + key frame
    void addTouchMark(const QPoint &videoPos); // a visible mark where the touch landed (live mode)
    // A config packet first when needed, then one access unit; empty if the encoder is unusable.
    std::vector<EncodedPacket> nextFrame(qint64 ptsUs);

private:
    std::unique_ptr<VideoSourcePrivate> d;
};

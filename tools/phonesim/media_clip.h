#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

#include <optional>
#include <vector>

// An H.264 clip that a virtual phone streams in a loop instead of its own screen. On disk it
// is a plain Annex B stream: SPS and PPS, then one access unit per frame, the first an IDR,
// without B-frames (the phone sends frames in the order they are shown).
struct VideoClip
{
    // Clips whose SPS carries no frame rate play at this one.
    static constexpr int kDefaultFps = 30;

    struct Frame
    {
        QByteArray data; // the frame's slices, each behind a 4-byte start code
        bool keyFrame = false;
    };

    QSize size;
    int fps = kDefaultFps;
    QByteArray parameterSets; // SPS and PPS behind 4-byte start codes
    std::vector<Frame> frames;

    // What the file holds: the parameter sets, then every frame.
    QByteArray annexB() const;
    qint64 byteCount() const;
    // Bits per second over one pass at the clip's frame rate.
    double bitRate() const;

    // Splits a stream into frames and checks that it can be streamed from the start and looped;
    // the size and frame rate come from decoding the first frame. Other NAL units (SEI,
    // access unit delimiters) are dropped, as are repeats of the opening parameter sets.
    static std::optional<VideoClip> fromAnnexB(const QByteArray &stream, QString *error);
    static std::optional<VideoClip> load(const QString &path, QString *error);
};

struct BusyClipSettings
{
    QSize size; // multiples of 8
    int fps = 30;
    int bitRate = 4000000;
    int frames = 300;
    int keyFrameInterval = 60; // frames from one IDR to the next
};

// BusyScreen encoded the way the virtual phone's live mode encodes its screen. Empty on failure.
std::optional<VideoClip> makeBusyClip(const BusyClipSettings &settings, QString *error);

#pragma once

#include "videosource.h"

#include <memory>

class AudioSourcePrivate;

// The phone's audio encoder: a continuous sine tone as 20 ms Opus packets.
class AudioSource
{
public:
    explicit AudioSource(int toneHz); // a sine tone, 48000 Hz stereo; 0: silence
    ~AudioSource();
    AudioSource(const AudioSource &) = delete;
    AudioSource &operator=(const AudioSource &) = delete;

    bool isValid() const;
    EncodedPacket configPacket(); // the "OpusHead" block (libopus extradata), config = true
    // One 20 ms Opus packet (960 samples) of a tone whose phase runs on across packets; empty
    // data if the encoder is unusable.
    EncodedPacket nextPacket(qint64 ptsUs);

private:
    std::unique_ptr<AudioSourcePrivate> d;
};

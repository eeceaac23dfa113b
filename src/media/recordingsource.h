#pragma once
// What the recorder reads of the session it records; the session's device provides it.
// The recorder reads it from the thread that demuxes the streams, so every answer must be
// safe to give from any thread.
#include <QByteArray>
#include <QSize>
#include <QString>

// The streams the current session parameters ask for.
struct RecordedStreams
{
    bool known = false; // false while no session parameters are in force
    bool video = true;
    bool audio = false;
    int maxFps = 0;
};

class RecordingSource
{
public:
    virtual QString adbConnectionSerial() const = 0;
    virtual QString nickname() const = 0;
    virtual QSize frameSize() const = 0;
    virtual RecordedStreams recordedStreams() const = 0;
    // Codec id the audio connection announced ("opus"); empty while there is none.
    virtual QByteArray audioCodecId() const = 0;

protected:
    ~RecordingSource() = default;
};

#pragma once
// What the recorder reads of the session it records; the session's device provides it.
#include <QSize>
#include <QString>

class AudioDemuxer;

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
    // Null while the session has no audio connection.
    virtual AudioDemuxer *audioDemuxer() const = 0;

protected:
    ~RecordingSource() = default;
};

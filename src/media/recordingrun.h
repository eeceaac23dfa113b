#pragma once
#include "usermessage.h"

#include <QByteArray>
#include <QMutex>
#include <QSize>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>

extern "C" {
#include <libavutil/avutil.h>
}

struct AVFormatContext;
struct AVPacket;
struct AVStream;
class MediaRecorder;

// One recording, from opening its file to closing it. Built by start() and shared by the
// recorder (GUI thread) and its "VideoRecorderThread"; nothing of it is reused afterwards.
class RecordingRun
{
public:
    struct Names
    {
        QString folder;
        QString nickname;
        QString serial;
    };
    // What the session asks for, read on whichever thread pushes the packet.
    struct Tracks
    {
        bool known = false; // false: keep the previous choice of tracks
        bool video = true;
        bool audio = false;
        int maxFps = 0;
        bool phoneSendsSound = false; // the audio connection announced Opus
        QSize frame;
    };

    RecordingRun(MediaRecorder *owner, Names names) : m_owner(owner), m_names(std::move(names)) {}

    ~RecordingRun();
    RecordingRun(const RecordingRun &) = delete;
    RecordingRun &operator=(const RecordingRun &) = delete;

    // ---- GUI thread ----

    bool isStopRequested() const { return m_stopRequested; }

    QString filePath() const;
    void setTracks(const Tracks &tracks);

    // Takes the clone.
    void pushVideo(AVPacket *clone);
    void pushAudio(AVPacket *clone);
    void requestStop();

    // The recorder is going away: nobody is told anything from here on, and a file not yet
    // open is not made.
    void abandon();

    // ---- recording thread ----

    void run();

    // Called on the recording thread before each packet is written (tests stall it there).
    static std::function<void()> &beforeWriteHook();

private:
    static constexpr qint64 DefaultVideoFrameDuration = 33333; // microseconds
    static constexpr qint64 DefaultAudioFrameDuration = 20000;
    static constexpr qint64 LastVideoFrameDuration = 100000;

    bool failed() const { return m_ioError < 0; }

    // Delivered on the GUI thread, and only while the recorder exists.
    void postMessage(const QString &message, UserMessage::Kind kind);
    void postRecordingChanged();

    // A new config packet and key frame from the phone, so the file can start cleanly.
    void requestVideoReset();
    bool openOutput();
    bool tryOpen(QString &filePath);

    // Returns the result of avio_closep (0 when nothing was open).
    int closeOutput();
    bool wanted(bool enabled, AVPacket *held, const std::deque<AVPacket *> &queue) const;
    void loop();

    // Config and pre-key-frame handling. False when the packet was used up.
    bool takeVideo(AVPacket *&video);

    // Config packets and audio that has no track are dropped; the video of the same turn
    // goes on either way.
    void takeAudio(AVPacket *&audio);
    bool findStartTime(AVPacket *video, AVPacket *&audio, bool videoEnabled, bool audioEnabled,
                       bool stopping);

    void writeVideo(AVPacket *&video);
    void writeAudio(AVPacket *audio);
    bool writePacket(AVPacket *packet, AVStream *stream, qint64 &lastWrittenPts);

    // Hands what the muxer has given the file so far to the disk. The muxer gives whole
    // clusters, so on success the file ends where a cut leaves it playable; a failure of
    // the disk ends the recording.
    bool commit();
    void writeHeaderFrom(const AVPacket *config);

    // Tiles stream at a few frames per second; their frame period must still count as
    // one frame and not as a gap.
    qint64 maxFramePeriod() const { return 1000000; }

    void addVideoStream(const AVPacket *config);
    void addAudioStream();
    void prependLaterConfig(AVPacket *&video);
    void finish();

    // No packet reached the disk: at most a header, which nothing can play.
    bool nothingRecorded() const { return m_committedSize <= m_headerSize; }

    // A cut after the last commit ends the file at a cluster boundary, so everything before
    // the failure plays; a file without a single packet is not worth keeping.
    void keepWhatWasCommitted(const QString &path);
    QString failureMessage() const;

    // Set on the GUI thread, read by the recording thread.
    mutable QMutex m_mutex;
    // Not a QWaitCondition: it gives the mutex up inside Qt's library, where a thread
    // checker of our build does not see it.
    std::condition_variable_any m_wake;
    std::atomic_bool m_stopRequested{true};
    bool m_abandoned = false;
    bool m_videoEnabled = true;
    bool m_audioEnabled = false;
    bool m_phoneSendsSound = false;
    int m_maxFps = 0;
    QSize m_frame;
    std::deque<AVPacket *> m_videoQueue;
    std::deque<AVPacket *> m_audioQueue;
    QString m_filePath;

    QMutex m_ownerMutex;
    MediaRecorder *m_owner = nullptr;
    const Names m_names;

    // The recording thread's own.
    AVFormatContext *m_format = nullptr;
    int m_ioError = 0;          // the first failure of the disk, an AVERROR
    qint64 m_committedSize = 0; // bytes known to be on the disk, ending at a cluster boundary
    qint64 m_headerSize = 0;
    AVRational m_videoRate{30, 1};
    bool m_headerWritten = false;
    bool m_keyFrameSeen = false;
    bool m_videoStreamReady = false;
    bool m_audioStreamReady = false;
    AVStream *m_videoStream = nullptr;
    AVStream *m_audioStream = nullptr;
    qint64 m_startTime = AV_NOPTS_VALUE;
    qint64 m_lastWrittenVideoPts = AV_NOPTS_VALUE;
    qint64 m_lastWrittenAudioPts = AV_NOPTS_VALUE;
    AVPacket *m_pendingVideo = nullptr;
    // Parameter sets that arrived after the header (a rotation); they go in front of the
    // next video packet, or the frames after them could not be decoded.
    QByteArray m_laterConfig;
    qint64 m_videoNextPts = 0;
    qint64 m_lastVideoRelativeTime = AV_NOPTS_VALUE;
    qint64 m_videoFrameDuration = DefaultVideoFrameDuration;
    qint64 m_audioNextPts = 0;
    qint64 m_lastAudioRelativeTime = AV_NOPTS_VALUE;
    qint64 m_audioFrameDuration = DefaultAudioFrameDuration;
};

#pragma once
// The receiving half of one mirroring session, on a media thread (MediaThreads) instead of
// the GUI thread: the video and audio sockets, their demuxers and decoders, and the sound
// output. Every packet goes to the recorder and then to its decoder; every decoded picture to
// the video feed, its size to the sink. close() cuts the pipeline off from all three at once; it
// then ends itself on its thread.
#include "streamlag.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFuture>
#include <QMutex>
#include <QObject>
#include <QSize>
#include <QString>

#include <atomic>

class AudioDecoder;
class AudioDemuxer;
class MediaRecorder;
class QTcpSocket;
class QThread;
class SimpleAudioPlayer;
class VideoDecoder;
class VideoDemuxer;
class VideoFrameFeed;
struct AVFrame;
struct AVPacket;
struct SwsContext;

// Where a pipeline delivers. Called on the media thread, under the pipeline's lock: close()
// waits for a call in progress, so the receiver cannot go away during one.
class StreamSink
{
public:
    // The size of a decoded picture, with every picture (its planes went to the feed).
    virtual void handleVideoFrameSize(QSize size) = 0;
    // The audio connection's codec id, once its header was read ("opus", or four zero bytes
    // from a phone that cannot capture sound).
    virtual void handleAudioCodec(const QByteArray &codecId) = 0;

protected:
    ~StreamSink() = default;
};

class StreamPipeline : public QObject
{
    Q_OBJECT

public:
    // Packets one phone decodes per turn of its thread's event loop, so that a phone with a
    // backlog does not hold up the others served by the same thread.
    static constexpr int PacketsPerTurn = 4;
    // What a connection buffers before the phone is held back (TCP flow control): a phone
    // decoded more slowly than it sends falls at most about a second behind (at 4 Mbit/s)
    // and then sends fewer frames, instead of a backlog growing to many seconds in the
    // socket's and the system's buffers.
    static constexpr qint64 SocketBufferBytes = 512 << 10;
    static constexpr int SystemBufferBytes = 256 << 10;
    // How far the picture may run behind the phone before the pipeline catches up.
    static constexpr int DefaultMaxLagMs = 200;

    // On the sockets' thread; the pipeline moves itself to a media thread. serial: the
    // phone's, for screenshot names. The feed gets every decoded picture as planar YUV.
    StreamPipeline(StreamSink *sink, VideoFrameFeed *feed, MediaRecorder *recorder,
                   const QString &serial);
    ~StreamPipeline() override;

    // Hands a connected socket (without parent, of the calling thread) to the pipeline: it
    // moves to the media thread and is read there.
    void attachVideo(QTcpSocket *socket);
    void attachAudio(QTcpSocket *socket, bool nameFieldFirst);

    // From its return on, nothing reaches the sink or the recorder; waits at most for a
    // hand-over in progress, never for decoding. The pipeline then deletes itself on its
    // thread, closing the sockets. Call once, from the thread that created it.
    void close();

    // From the creating thread, before close(): a video connection was attached, and a
    // screenshot of its latest picture (false at once while there is none).
    bool hasVideo() const { return m_hasVideo; }
    QFuture<QString> takeScreenshot();

    // Objects of the media thread, null until their connection was set up there. Use them on
    // that thread (thread()).
    VideoDemuxer *videoDemuxer() const { return m_videoDemuxer; }
    VideoDecoder *videoDecoder() const { return m_videoDecoder; }
    AudioDemuxer *audioDemuxer() const { return m_audioDemuxer; }
    AudioDecoder *audioDecoder() const { return m_audioDecoder; }

    // From the creating thread, before the video connection: the lag bound (0 = no bound).
    void setMaxLagMs(int ms) { m_maxLagMs = ms; }
    // Catch-ups so far (any thread).
    int catchUpCount() const { return m_catchUps; }

    // For the video demuxer (media thread): false for a packet the decoder must skip while
    // the pipeline catches up. `waitingBytes`: what the demuxer has not handed on yet.
    bool admitVideoPacket(const AVPacket *packet, qint64 waitingBytes);
    // For the demuxers (media thread): one packet to the recorder, first of its consumers.
    void recordPacket(const AVPacket *packet, bool video);
    bool isClosed() const { return m_closed; }
    void reportAudioCodec(const QByteArray &codecId);
    // For the decoder (media thread; any thread in tests): one decoded picture to the feed.
    void deliverVideoFrame(AVFrame *frame);

signals:
    // Emitted on the media thread.
    // Behind by more than the bound: skipping to the next key frame (true), or resumed there.
    void catchingUpChanged(bool catchingUp);
    // The phone should send a new key frame (the reset-video control message).
    void videoResetNeeded();
    void audioUnavailable();
    void audioDecoderFailed();
    // The phone announced a codec the application does not take; that connection is ignored.
    void videoCodecUnsupported();
    void audioCodecUnsupported();

private:
    void setUpVideo(QTcpSocket *socket);
    void setUpAudio(QTcpSocket *socket, bool nameFieldFirst);

    QThread *m_thread = nullptr;
    const QString m_serial;

    QMutex m_linkMutex; // guards the three pointers below and the converter
    StreamSink *m_sink = nullptr;
    VideoFrameFeed *m_feed = nullptr;
    MediaRecorder *m_recorder = nullptr;
    std::atomic_bool m_closed{false};
    SwsContext *m_converter = nullptr; // pictures in other layouts

    bool m_hasVideo = false; // creating thread
    QTcpSocket *m_videoSocket = nullptr;
    QTcpSocket *m_audioSocket = nullptr;
    std::atomic<VideoDemuxer *> m_videoDemuxer{nullptr};
    QMutex m_decoderMutex; // a screenshot from another thread keeps the decoder alive
    std::atomic<VideoDecoder *> m_videoDecoder{nullptr};
    std::atomic<AudioDemuxer *> m_audioDemuxer{nullptr};
    std::atomic<AudioDecoder *> m_audioDecoder{nullptr};
    SimpleAudioPlayer *m_audioPlayer = nullptr;

    std::atomic_int m_maxLagMs{DefaultMaxLagMs};
    std::atomic_int m_catchUps{0};
    // Media thread.
    StreamLag m_lag;
    QElapsedTimer m_clock;
    bool m_catchingUp = false;
    qint64 m_resetAskedMs = 0;
};

#pragma once
#include <QObject>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>

struct AVPacket;
class Device;
class QDateTime;
class QThread;
struct RecordingState;

// Records a device's stream, without re-encoding, into a Matroska file in the video
// folder. The demuxers push clones of their packets; a "VideoRecorderThread" drains the
// queues, rebuilds clean timestamps and muxes. The recording's state is shared with
// its thread, so it stays valid if this object goes away before the thread has ended.
class MediaRecorder : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isRecording READ isRecording NOTIFY isRecordingChanged)

public:
    // How long the destructor waits for a running recording to end.
    static constexpr int ThreadWaitMs = 3000;

    explicit MediaRecorder(Device *device);
    ~MediaRecorder() override;

    void pushVideoPacket(const AVPacket *packet);
    void pushAudioPacket(const AVPacket *packet);

    // Starts a recording thread unless one exists already; the outcome is reported through
    // the device's messages.
    Q_INVOKABLE void start();
    Q_INVOKABLE void stop();
    bool isRecording() const;

    // Path of the open recording; empty while none is open.
    QString filePath() const;
    // The recording thread while it exists.
    QThread *recordingThread() const { return m_thread; }

    // "<nickname>_<serial>_<yyyyMMdd_hhmmss_zzz>.mkv". Characters that are not allowed in
    // file names (path separators included) become "-", so the file stays in its folder.
    static QString recordingFileName(const QString &nickname, const QString &serial,
                                     const QDateTime &time);
    // Picture size announced by the sequence parameter set of an H.264 config packet
    // (Annex B); invalid when there is none or it cannot be read.
    static QSize videoSizeFromConfig(const QByteArray &config);

    // Called on the recording thread before each packet is written (tests stall it there).
    static void setBeforeWriteHookForTesting(std::function<void()> hook);

signals:
    void isRecordingChanged();

private:
    // Which tracks the device's current stream parameters ask for (GUI thread).
    void refreshTracks();

    Device *m_device = nullptr;
    QThread *m_thread = nullptr;
    std::shared_ptr<RecordingState> m_state;
};

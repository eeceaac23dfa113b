#pragma once
#include <QObject>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>

#include "usermessage.h"

struct AVPacket;
class RecordingSource;
class QDateTime;
class QThread;
class RecordingRun;

// Records a device's stream, without re-encoding, into a Matroska file in the video
// folder. The demuxers push clones of their packets; a "VideoRecorderThread" drains the
// queues, rebuilds clean timestamps and muxes. Each start() builds a RecordingRun that
// owns everything of that one recording; the thread shares it, so it stays valid if this
// object goes away before the thread has ended. A file that can no longer be written
// (full disk, lost folder) ends the recording with an error; the file keeps what reached
// the disk in whole clusters, which plays.
class MediaRecorder : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isRecording READ isRecording NOTIFY isRecordingChanged)

public:
    // How long the destructor waits for a running recording to end.
    static constexpr int ThreadWaitMs = 3000;

    // source: the session being recorded; it outlives the recorder.
    explicit MediaRecorder(RecordingSource *source, QObject *parent = nullptr);
    ~MediaRecorder() override;

    // Any thread (the demuxers' own).
    void pushVideoPacket(const AVPacket *packet);
    void pushAudioPacket(const AVPacket *packet);

    // Starts a recording thread unless one exists already; the outcome is reported through
    // userMessage.
    Q_INVOKABLE void start();
    Q_INVOKABLE void stop();
    bool isRecording() const;

    // Path of the open recording; empty while none is open.
    QString filePath() const;
    // The recording thread while it exists.
    QThread *recordingThread() const { return m_thread; }

    // "<nickname>_<serial>_<yyyyMMdd_hhmmss_zzz>.mkv", made safe and short enough by
    // FileNames::fit.
    static QString recordingFileName(const QString &nickname, const QString &serial,
                                     const QDateTime &time);

    // Called on the recording thread before each packet is written (tests stall it there).
    static void setBeforeWriteHookForTesting(std::function<void()> hook);

signals:
    void isRecordingChanged();
    void userMessage(QString message, UserMessage::Kind kind);
    // The file needs a fresh config packet and key frame from the phone.
    void videoResetRequested();

private:
    // Which tracks the session's current stream parameters ask for (any thread).
    void refreshTracks(RecordingRun &run);
    std::shared_ptr<RecordingRun> currentRun() const;

    RecordingSource *m_source = nullptr;
    QThread *m_thread = nullptr;
    // The recording while its thread exists; replaced only on the GUI thread, read atomically
    // by the demuxers' thread.
    std::shared_ptr<RecordingRun> m_run;
};

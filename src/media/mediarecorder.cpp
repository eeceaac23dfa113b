#include "mediarecorder.h"

#include "appconfig.h"
#include "filenames.h"
#include "recordingrun.h"
#include "recordingsource.h"

#include <QDateTime>
#include <QThread>

#include <atomic>

extern "C" {
#include <libavcodec/packet.h>
}

MediaRecorder::MediaRecorder(RecordingSource *source, QObject *parent)
    : QObject(parent), m_source(source)
{}

MediaRecorder::~MediaRecorder()
{
    if (m_run)
        m_run->abandon();
    if (!m_thread)
        return;
    m_thread->disconnect(this);
    // Still writing after the wait: the thread keeps its run alive through its own share,
    // and its QThread object deletes itself once it has finished.
    if (m_thread->wait(ThreadWaitMs))
        delete m_thread;
    m_thread = nullptr;
}

void MediaRecorder::refreshTracks(RecordingRun &run)
{
    RecordingRun::Tracks tracks;
    if (m_source) {
        const RecordedStreams streams = m_source->recordedStreams();
        tracks.known = streams.known;
        tracks.video = streams.video;
        tracks.audio = streams.audio;
        tracks.maxFps = streams.maxFps;
        tracks.phoneSendsSound = m_source->audioCodecId() == QByteArrayLiteral("opus");
        tracks.frame = m_source->frameSize();
    }
    run.setTracks(tracks);
}

std::shared_ptr<RecordingRun> MediaRecorder::currentRun() const
{
    // The demuxers push from their own thread while start() may put a new recording in place.
    return std::atomic_load(&m_run);
}

void MediaRecorder::pushVideoPacket(const AVPacket *packet)
{
    const std::shared_ptr<RecordingRun> run = currentRun();
    if (!packet || !run || run->isStopRequested())
        return;
    if (packet->pts == AV_NOPTS_VALUE)
        refreshTracks(*run);
    if (AVPacket *clone = av_packet_clone(packet))
        run->pushVideo(clone);
}

void MediaRecorder::pushAudioPacket(const AVPacket *packet)
{
    const std::shared_ptr<RecordingRun> run = currentRun();
    if (!packet || !run || run->isStopRequested())
        return;
    if (!m_source || !m_source->recordedStreams().audio)
        return;
    if (AVPacket *clone = av_packet_clone(packet))
        run->pushAudio(clone);
}

void MediaRecorder::start()
{
    if (m_thread)
        return;
    RecordingRun::Names names;
    names.folder = AppConfig::instance()->getVideoSavePath();
    if (m_source) {
        names.nickname = m_source->nickname();
        names.serial = m_source->adbConnectionSerial();
    }
    auto run = std::make_shared<RecordingRun>(this, std::move(names));
    std::atomic_store(&m_run, run);
    refreshTracks(*run);

    m_thread = QThread::create([run] { run->run(); });
    m_thread->setObjectName(QStringLiteral("VideoRecorderThread"));
    QThread *thread = m_thread;
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QThread::finished, this, [this, thread] {
        if (m_thread != thread)
            return;
        m_thread = nullptr;
        std::atomic_store(&m_run, std::shared_ptr<RecordingRun>());
    });
    thread->start(QThread::InheritPriority);
}

void MediaRecorder::setBeforeWriteHookForTesting(std::function<void()> hook)
{
    RecordingRun::beforeWriteHook() = std::move(hook);
}

void MediaRecorder::stop()
{
    if (m_run)
        m_run->requestStop();
    emit userMessage(tr("Stop Recording"), UserMessage::Kind::Info);
}

bool MediaRecorder::isRecording() const
{
    return m_run && !m_run->isStopRequested();
}

QString MediaRecorder::filePath() const
{
    return m_run ? m_run->filePath() : QString();
}

QString MediaRecorder::recordingFileName(const QString &nickname, const QString &serial,
                                         const QDateTime &time)
{
    // A long nickname gives way first, then the serial; the time and the extension stay.
    const QString ending = QLatin1Char('_') + time.toString(QStringLiteral("yyyyMMdd_hhmmss_zzz")) +
                           QStringLiteral(".mkv");
    const QString serialAndEnding = FileNames::fit(serial, ending, FileNames::MaxNameBytes - 1);
    return FileNames::fit(nickname, QLatin1Char('_') + serialAndEnding);
}

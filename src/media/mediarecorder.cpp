#include "mediarecorder.h"

#include "appconfig.h"
#include "filenames.h"
#include "h264sps.h"
#include "recordingsource.h"

#include <QDateTime>
#include <QDir>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>
#include <QWaitCondition>

#include <atomic>
#include <deque>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/mathematics.h>
}

namespace {
constexpr AVRational MicrosecondBase{1, 1000000};
constexpr qint64 DefaultVideoFrameDuration = 33333;
constexpr qint64 DefaultAudioFrameDuration = 20000;
constexpr qint64 LastVideoFrameDuration = 100000;

std::function<void()> &beforeWriteHook()
{
    static std::function<void()> hook;
    return hook;
}

void releasePacket(AVPacket *&packet)
{
    av_packet_free(&packet);
}

void releaseQueue(std::deque<AVPacket *> &queue)
{
    for (AVPacket *packet : queue)
        av_packet_free(&packet);
    queue.clear();
}

// One frame period in microseconds, or the fallback when it is out of range.
qint64 framePeriod(AVRational rate, qint64 longest, qint64 fallback)
{
    if (rate.num < 1 || rate.den < 1)
        return fallback;
    const qint64 period = av_rescale(1000000, rate.den, rate.num);
    return period >= 1 && period <= longest ? period : fallback;
}

} // namespace

// Everything the recording thread works on. Shared between the recorder and the thread;
// `owner` is cleared (under ownerMutex) when the recorder goes away.
struct RecordingState
{
    QMutex mutex;
    QWaitCondition wake;
    std::atomic_bool stopRequested{true};
    bool abandoned = false;

    // Read by the thread, refreshed on the GUI thread (under mutex).
    bool videoEnabled = true;
    bool audioEnabled = false;
    bool phoneSendsSound = false; // the audio connection announced Opus
    int videoWidth = 0;
    int videoHeight = 0;
    int maxFps = 0;
    QString folder;
    QString nickname;
    QString serial;

    QString filePath;
    AVFormatContext *format = nullptr;
    bool headerWritten = false;
    bool keyFrameSeen = false;
    bool videoStreamReady = false;
    bool audioStreamReady = false;
    std::deque<AVPacket *> videoQueue;
    std::deque<AVPacket *> audioQueue;
    AVStream *videoStream = nullptr;
    AVStream *audioStream = nullptr;
    qint64 startTime = AV_NOPTS_VALUE;
    qint64 lastWrittenVideoPts = AV_NOPTS_VALUE;
    qint64 lastWrittenAudioPts = AV_NOPTS_VALUE;
    AVPacket *pendingVideo = nullptr;
    // Parameter sets that arrived after the header (a rotation); they go in front of the
    // next video packet, or the frames after them could not be decoded.
    QByteArray laterConfig;
    qint64 videoNextPts = 0;
    qint64 lastVideoRelativeTime = AV_NOPTS_VALUE;
    qint64 videoFrameDuration = DefaultVideoFrameDuration;
    qint64 audioNextPts = 0;
    qint64 lastAudioRelativeTime = AV_NOPTS_VALUE;
    qint64 audioFrameDuration = DefaultAudioFrameDuration;

    QMutex ownerMutex;
    MediaRecorder *owner = nullptr;

    ~RecordingState()
    {
        releaseQueue(videoQueue);
        releaseQueue(audioQueue);
        av_packet_free(&pendingVideo);
        closeOutput();
    }

    void closeOutput()
    {
        if (!format)
            return;
        if (!(format->oformat->flags & AVFMT_NOFILE))
            avio_closep(&format->pb);
        avformat_free_context(format);
        format = nullptr;
    }

    // Delivered on the GUI thread, and only while the recorder exists.
    void postMessage(const QString &message, UserMessage::Kind kind)
    {
        QMutexLocker locker(&ownerMutex);
        if (MediaRecorder *target = owner) {
            QMetaObject::invokeMethod(
                target, [target, message, kind] { emit target->userMessage(message, kind); },
                Qt::QueuedConnection);
        }
    }

    void postRecordingChanged()
    {
        QMutexLocker locker(&ownerMutex);
        if (owner)
            QMetaObject::invokeMethod(owner, &MediaRecorder::isRecordingChanged,
                                      Qt::QueuedConnection);
    }

    // A new config packet and key frame from the phone, so the file can start cleanly.
    void requestVideoReset()
    {
        QMutexLocker locker(&ownerMutex);
        if (owner)
            QMetaObject::invokeMethod(owner, &MediaRecorder::videoResetRequested,
                                      Qt::QueuedConnection);
    }
};

namespace {
// The body of one "VideoRecorderThread".
class RecordingRun
{
public:
    explicit RecordingRun(std::shared_ptr<RecordingState> state) : s(std::move(state)) {}

    void run()
    {
        if (!openOutput())
            return;
        s->postRecordingChanged();
        s->postMessage(MediaRecorder::tr("Record Started"), UserMessage::Kind::Success);
        // Asked only now that packets are accepted, so the new config packet is not missed.
        s->requestVideoReset();
        loop();
        finish();
    }

private:
    bool openOutput()
    {
        {
            QMutexLocker locker(&s->mutex);
            if (s->abandoned)
                return false;
        }
        // Opened outside the lock: a slow folder must not hold up stop() or the destructor.
        QString path;
        const bool opened = tryOpen(path);
        QMutexLocker locker(&s->mutex);
        if (opened && !s->abandoned) {
            s->filePath = path;
            s->stopRequested = false;
            s->lastVideoRelativeTime = AV_NOPTS_VALUE;
            s->lastAudioRelativeTime = AV_NOPTS_VALUE;
            s->videoNextPts = 0;
            s->audioNextPts = 0;
            return true;
        }
        const bool report = !s->abandoned;
        locker.unlock();
        s->closeOutput();
        if (opened)
            QFile::remove(path);
        if (report)
            s->postMessage(MediaRecorder::tr("Record Failed"), UserMessage::Kind::Error);
        return false;
    }

    bool tryOpen(QString &filePath)
    {
        // An empty folder setting would put recordings into the file-system root.
        if (s->folder.isEmpty() || !QDir().mkpath(s->folder))
            return false;
        filePath = QDir(s->folder).filePath(
            MediaRecorder::recordingFileName(s->nickname, s->serial, QDateTime::currentDateTime()));
        const QByteArray path = QFile::encodeName(filePath);
        if (avformat_alloc_output_context2(&s->format, nullptr, "matroska", path.constData()) < 0 ||
            !s->format)
            return false;
        return avio_open2(&s->format->pb, path.constData(), AVIO_FLAG_WRITE, nullptr, nullptr) >= 0;
    }

    bool wanted(bool enabled, AVPacket *held, const std::deque<AVPacket *> &queue) const
    {
        return enabled && !held && !queue.empty();
    }

    void loop()
    {
        AVPacket *video = nullptr;
        AVPacket *audio = nullptr;
        for (;;) {
            QMutexLocker locker(&s->mutex);
            while (!s->stopRequested && !wanted(s->videoEnabled, video, s->videoQueue) &&
                   !wanted(s->audioEnabled, audio, s->audioQueue))
                s->wake.wait(&s->mutex);
            if (wanted(s->videoEnabled, video, s->videoQueue)) {
                video = s->videoQueue.front();
                s->videoQueue.pop_front();
            }
            if (wanted(s->audioEnabled, audio, s->audioQueue)) {
                audio = s->audioQueue.front();
                s->audioQueue.pop_front();
            }
            const bool stopping = s->stopRequested;
            const bool videoEnabled = s->videoEnabled;
            const bool audioEnabled = s->audioEnabled;
            if (stopping && !video && !audio)
                break;
            locker.unlock();

            if (video && !takeVideo(video))
                continue;
            if (audio)
                takeAudio(audio);
            if (s->startTime == AV_NOPTS_VALUE &&
                !findStartTime(video, audio, videoEnabled, audioEnabled, stopping))
                continue;
            if (video)
                writeVideo(video);
            if (audio) {
                writeAudio(audio);
                releasePacket(audio);
            }
        }
        releasePacket(video);
        releasePacket(audio);
    }

    // Config and pre-key-frame handling. False when the packet was used up.
    bool takeVideo(AVPacket *&video)
    {
        if (video->pts == AV_NOPTS_VALUE) {
            if (!s->headerWritten)
                writeHeaderFrom(video);
            else
                s->laterConfig =
                    QByteArray(reinterpret_cast<const char *>(video->data), video->size);
            releasePacket(video);
            return false;
        }
        // Nothing can be written before the header; a frame from before it must not
        // start the file either.
        if (!s->headerWritten) {
            releasePacket(video);
            return false;
        }
        if (!s->keyFrameSeen) {
            if (!(video->flags & AV_PKT_FLAG_KEY)) {
                releasePacket(video);
                return false;
            }
            s->keyFrameSeen = true;
        }
        if (!s->laterConfig.isEmpty())
            prependLaterConfig(video);
        return true;
    }

    // Config packets and audio that has no track are dropped; the video of the same turn
    // goes on either way.
    void takeAudio(AVPacket *&audio)
    {
        if (audio->pts == AV_NOPTS_VALUE) {
            releasePacket(audio);
            return;
        }
        if (!s->audioStreamReady && !s->headerWritten)
            addAudioStream();
        if (!s->audioStreamReady)
            releasePacket(audio);
    }

    bool findStartTime(AVPacket *video, AVPacket *&audio, bool videoEnabled, bool audioEnabled,
                       bool stopping)
    {
        // Once the header is written without an audio track, audio can never be written,
        // so waiting for it would only hold the video back.
        const bool audioCounts = audioEnabled && (s->audioStreamReady || !s->headerWritten);
        if (!audioCounts) {
            if (!video)
                return false;
            s->startTime = video->pts;
            return true;
        }
        if (!videoEnabled) {
            if (!audio)
                return false;
            s->startTime = audio->pts;
            return true;
        }
        if (video && audio) {
            s->startTime = qMin(video->pts, audio->pts);
            return true;
        }
        if (!stopping)
            return false;
        if (!video) {
            releasePacket(audio);
            return false;
        }
        s->startTime = video->pts;
        return true;
    }

    void writeVideo(AVPacket *&video)
    {
        const qint64 relative = video->pts - s->startTime;
        const qint64 nominal = s->videoFrameDuration;
        const qint64 delta = s->lastVideoRelativeTime == AV_NOPTS_VALUE
                                 ? nominal
                                 : relative - s->lastVideoRelativeTime;
        const qint64 duration = delta > 0 && delta <= 3 * nominal ? delta : nominal;
        s->lastVideoRelativeTime = relative;

        qint64 pts = 0;
        if (s->pendingVideo) {
            s->pendingVideo->duration = duration;
            const bool written =
                writePacket(s->pendingVideo, s->videoStream, s->lastWrittenVideoPts);
            releasePacket(s->pendingVideo);
            if (!written) {
                releasePacket(video);
                return;
            }
            pts = s->videoNextPts + duration;
        }
        s->videoNextPts = pts;
        video->pts = video->dts = pts;
        s->pendingVideo = video;
        video = nullptr;
    }

    void writeAudio(AVPacket *audio)
    {
        if (!s->audioStreamReady)
            return;
        const qint64 relative = audio->pts - s->startTime;
        const qint64 nominal = s->audioFrameDuration;
        const qint64 delta = s->lastAudioRelativeTime == AV_NOPTS_VALUE
                                 ? nominal
                                 : relative - s->lastAudioRelativeTime;
        const qint64 duration = delta > 0 && delta <= 4 * nominal ? delta : nominal;
        s->lastAudioRelativeTime = relative;
        audio->pts = audio->dts = s->audioNextPts;
        audio->duration = duration;
        writePacket(audio, s->audioStream, s->lastWrittenAudioPts);
        s->audioNextPts += duration;
    }

    bool writePacket(AVPacket *packet, AVStream *stream, qint64 &lastWrittenPts)
    {
        if (!s->headerWritten || !s->format || !s->format->pb || !stream || !packet ||
            packet->size <= 0)
            return false;
        if (const auto &hook = beforeWriteHook())
            hook();
        packet->stream_index = stream->index;
        if (packet->pts < 0)
            packet->pts = 0;
        if (packet->dts < 0)
            packet->dts = 0;
        if (packet->dts > packet->pts)
            packet->dts = packet->pts;
        av_packet_rescale_ts(packet, MicrosecondBase, stream->time_base);
        // The rescale can fold neighbours onto one tick; the muxer needs them increasing.
        if (lastWrittenPts == AV_NOPTS_VALUE || packet->pts > lastWrittenPts) {
            lastWrittenPts = packet->pts;
        } else {
            lastWrittenPts += 1;
            packet->pts = packet->dts = lastWrittenPts;
        }
        return av_interleaved_write_frame(s->format, packet) >= 0;
    }

    void writeHeaderFrom(const AVPacket *config)
    {
        if (!s->videoStreamReady)
            addVideoStream(config);
        if (!s->videoStreamReady)
            return;
        // Whether the file gets a sound track must not depend on whether a sound packet or
        // the requested config packet happens to arrive first: when the session carries
        // sound, the track is there from the start.
        bool soundTrack = false;
        {
            QMutexLocker locker(&s->mutex);
            soundTrack = s->audioEnabled && s->phoneSendsSound;
        }
        if (soundTrack && !s->audioStreamReady)
            addAudioStream();
        AVDictionary *options = nullptr;
        av_dict_set(&options, "reserve_index_space", "0", 0);
        if (avformat_write_header(s->format, &options) >= 0)
            s->headerWritten = true;
        av_dict_free(&options);
        s->videoFrameDuration = framePeriod(s->videoStream->avg_frame_rate, maxFramePeriod(),
                                            DefaultVideoFrameDuration);
    }

    // Tiles stream at a few frames per second; their frame period must still count as
    // one frame and not as a gap.
    qint64 maxFramePeriod() const { return 1000000; }

    void addVideoStream(const AVPacket *config)
    {
        if (!config->data || config->size <= 0)
            return;
        AVStream *stream =
            s->videoStream ? s->videoStream : avformat_new_stream(s->format, nullptr);
        if (!stream)
            return;
        s->videoStream = stream;
        AVCodecParameters *par = stream->codecpar;
        par->codec_type = AVMEDIA_TYPE_VIDEO;
        par->codec_id = AV_CODEC_ID_H264;
        // The track's picture size: from the parameter sets, else from the last decoded frame.
        const QSize size = H264::pictureSizeFromConfig(
            QByteArray::fromRawData(reinterpret_cast<const char *>(config->data), config->size));
        if (size.isValid()) {
            par->width = size.width();
            par->height = size.height();
        } else {
            QMutexLocker locker(&s->mutex);
            par->width = s->videoWidth;
            par->height = s->videoHeight;
        }
        av_freep(&par->extradata);
        par->extradata_size = 0;
        par->extradata =
            static_cast<uint8_t *>(av_mallocz(config->size + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!par->extradata)
            return;
        memcpy(par->extradata, config->data, config->size);
        par->extradata_size = config->size;
        par->codec_tag = 0;

        AVRational rate{30, 1};
        {
            QMutexLocker locker(&s->mutex);
            if (s->maxFps >= 1)
                rate = AVRational{s->maxFps, 1};
        }
        stream->avg_frame_rate = rate;
        stream->r_frame_rate = rate;
        stream->time_base = MicrosecondBase;
        s->videoFrameDuration = framePeriod(rate, maxFramePeriod(), DefaultVideoFrameDuration);
        s->videoStreamReady = true;
    }

    void addAudioStream()
    {
        AVStream *stream =
            s->audioStream ? s->audioStream : avformat_new_stream(s->format, nullptr);
        if (!stream)
            return;
        s->audioStream = stream;
        AVCodecParameters *par = stream->codecpar;
        par->codec_type = AVMEDIA_TYPE_AUDIO;
        par->codec_id = AV_CODEC_ID_OPUS;
        av_channel_layout_uninit(&par->ch_layout);
        par->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
        par->sample_rate = 48000;
        par->format = AV_SAMPLE_FMT_S16;
        par->frame_size = 960;
        stream->time_base = MicrosecondBase;
        s->audioFrameDuration = framePeriod(AVRational{par->sample_rate, par->frame_size}, 100000,
                                            DefaultAudioFrameDuration);
        s->audioStreamReady = true;
    }

    void prependLaterConfig(AVPacket *&video)
    {
        AVPacket *joined = av_packet_alloc();
        if (!joined || av_new_packet(joined, s->laterConfig.size() + video->size) < 0) {
            av_packet_free(&joined);
            return;
        }
        av_packet_copy_props(joined, video);
        memcpy(joined->data, s->laterConfig.constData(), s->laterConfig.size());
        memcpy(joined->data + s->laterConfig.size(), video->data, video->size);
        s->laterConfig.clear();
        av_packet_free(&video);
        video = joined;
    }

    void finish()
    {
        if (s->pendingVideo) {
            s->pendingVideo->duration = LastVideoFrameDuration;
            writePacket(s->pendingVideo, s->videoStream, s->lastWrittenVideoPts);
            releasePacket(s->pendingVideo);
        }
        if (s->headerWritten) {
            av_interleaved_write_frame(s->format, nullptr);
            av_write_trailer(s->format);
        }
        {
            QMutexLocker locker(&s->mutex);
            releaseQueue(s->videoQueue);
            releaseQueue(s->audioQueue);
            s->stopRequested = true;
            s->headerWritten = false;
            s->keyFrameSeen = false;
            s->videoStreamReady = false;
            s->audioStreamReady = false;
            s->videoStream = nullptr;
            s->audioStream = nullptr;
            s->startTime = AV_NOPTS_VALUE;
            s->lastWrittenVideoPts = AV_NOPTS_VALUE;
            s->lastWrittenAudioPts = AV_NOPTS_VALUE;
            s->laterConfig.clear();
            s->videoNextPts = 0;
            s->lastVideoRelativeTime = AV_NOPTS_VALUE;
            s->videoFrameDuration = DefaultVideoFrameDuration;
            s->audioNextPts = 0;
            s->lastAudioRelativeTime = AV_NOPTS_VALUE;
            s->audioFrameDuration = DefaultAudioFrameDuration;
            s->filePath.clear();
            // Closed before the user hears of it, so the file is complete when announced.
            s->closeOutput();
        }
        s->postMessage(MediaRecorder::tr("Record Stopped"), UserMessage::Kind::Success);
        s->postRecordingChanged();
    }

    std::shared_ptr<RecordingState> s;
};
} // namespace

MediaRecorder::MediaRecorder(RecordingSource *source, QObject *parent)
    : QObject(parent), m_source(source), m_state(std::make_shared<RecordingState>())
{
    m_state->owner = this;
}

MediaRecorder::~MediaRecorder()
{
    RecordingState *state = m_state.get();
    if (!state)
        return;
    {
        QMutexLocker locker(&state->ownerMutex);
        state->owner = nullptr;
    }
    {
        QMutexLocker locker(&state->mutex);
        state->abandoned = true;
        state->stopRequested = true;
        state->wake.wakeAll();
    }
    if (!m_thread)
        return;
    m_thread->disconnect(this);
    // Still writing after the wait: the thread keeps the recording state alive through its
    // own share, and its QThread object deletes itself once it has finished.
    if (m_thread->wait(ThreadWaitMs))
        delete m_thread;
    m_thread = nullptr;
}

void MediaRecorder::refreshTracks(RecordingState &state)
{
    const RecordedStreams streams = m_source ? m_source->recordedStreams() : RecordedStreams();
    QMutexLocker locker(&state.mutex);
    if (streams.known) {
        state.videoEnabled = streams.video;
        state.audioEnabled = streams.audio;
        state.maxFps = streams.maxFps;
    }
    state.phoneSendsSound = m_source && m_source->audioCodecId() == QByteArrayLiteral("opus");
    const QSize frame = m_source ? m_source->frameSize() : QSize();
    if (frame.isValid() && !frame.isEmpty()) {
        state.videoWidth = frame.width();
        state.videoHeight = frame.height();
    }
}

std::shared_ptr<RecordingState> MediaRecorder::currentState() const
{
    // The demuxers push from their own thread while start() may put a new recording in place.
    return std::atomic_load(&m_state);
}

void MediaRecorder::pushVideoPacket(const AVPacket *packet)
{
    const std::shared_ptr<RecordingState> state = currentState();
    if (!packet || state->stopRequested)
        return;
    if (packet->pts == AV_NOPTS_VALUE)
        refreshTracks(*state);
    AVPacket *clone = av_packet_clone(packet);
    if (!clone)
        return;
    QMutexLocker locker(&state->mutex);
    state->videoQueue.push_back(clone);
    state->wake.wakeAll();
}

void MediaRecorder::pushAudioPacket(const AVPacket *packet)
{
    const std::shared_ptr<RecordingState> state = currentState();
    if (!packet || state->stopRequested)
        return;
    if (!m_source || !m_source->recordedStreams().audio)
        return;
    AVPacket *clone = av_packet_clone(packet);
    if (!clone)
        return;
    QMutexLocker locker(&state->mutex);
    state->audioEnabled = true;
    state->audioQueue.push_back(clone);
    state->wake.wakeAll();
}

void MediaRecorder::start()
{
    if (m_thread)
        return;
    // A finished recording leaves nothing behind; each one gets fresh state.
    auto state = std::make_shared<RecordingState>();
    state->owner = this;
    state->folder = AppConfig::instance()->getVideoSavePath();
    if (m_source) {
        state->nickname = m_source->nickname();
        state->serial = m_source->adbConnectionSerial();
    }
    std::atomic_store(&m_state, state);
    refreshTracks(*state);

    m_thread = QThread::create([state] { RecordingRun(state).run(); });
    m_thread->setObjectName(QStringLiteral("VideoRecorderThread"));
    QThread *thread = m_thread;
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QThread::finished, this, [this, thread] {
        if (m_thread == thread)
            m_thread = nullptr;
    });
    thread->start(QThread::InheritPriority);
}

void MediaRecorder::setBeforeWriteHookForTesting(std::function<void()> hook)
{
    beforeWriteHook() = std::move(hook);
}

void MediaRecorder::stop()
{
    {
        QMutexLocker locker(&m_state->mutex);
        m_state->stopRequested = true;
        m_state->wake.wakeAll();
    }
    emit userMessage(tr("Stop Recording"), UserMessage::Kind::Info);
}

bool MediaRecorder::isRecording() const
{
    return !m_state->stopRequested;
}

QString MediaRecorder::filePath() const
{
    QMutexLocker locker(&m_state->mutex);
    return m_state->filePath;
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

#include "recordingrun.h"

#include "h264sps.h"
#include "mediarecorder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMutexLocker>

#include <cerrno>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/mathematics.h>
}

namespace {
constexpr AVRational MicrosecondBase{1, 1000000};

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

std::function<void()> &RecordingRun::beforeWriteHook()
{
    static std::function<void()> hook;
    return hook;
}

RecordingRun::~RecordingRun()
{
    releaseQueue(m_videoQueue);
    releaseQueue(m_audioQueue);
    av_packet_free(&m_pendingVideo);
    closeOutput();
}

QString RecordingRun::filePath() const
{
    QMutexLocker locker(&m_mutex);
    return m_filePath;
}

void RecordingRun::setTracks(const Tracks &tracks)
{
    QMutexLocker locker(&m_mutex);
    if (tracks.known) {
        m_videoEnabled = tracks.video;
        m_audioEnabled = tracks.audio;
        m_maxFps = tracks.maxFps;
    }
    m_phoneSendsSound = tracks.phoneSendsSound;
    if (tracks.frame.isValid() && !tracks.frame.isEmpty())
        m_frame = tracks.frame;
}

void RecordingRun::pushVideo(AVPacket *clone)
{
    QMutexLocker locker(&m_mutex);
    m_videoQueue.push_back(clone);
    m_wake.notify_all();
}

void RecordingRun::pushAudio(AVPacket *clone)
{
    QMutexLocker locker(&m_mutex);
    m_audioEnabled = true;
    m_audioQueue.push_back(clone);
    m_wake.notify_all();
}

void RecordingRun::requestStop()
{
    QMutexLocker locker(&m_mutex);
    m_stopRequested = true;
    m_wake.notify_all();
}

void RecordingRun::abandon()
{
    {
        QMutexLocker locker(&m_ownerMutex);
        m_owner = nullptr;
    }
    QMutexLocker locker(&m_mutex);
    m_abandoned = true;
    m_stopRequested = true;
    m_wake.notify_all();
}

void RecordingRun::run()
{
    if (!openOutput())
        return;
    postRecordingChanged();
    postMessage(MediaRecorder::tr("Record Started"), UserMessage::Kind::Success);
    // Asked only now that packets are accepted, so the new config packet is not missed.
    requestVideoReset();
    loop();
    finish();
}

void RecordingRun::postMessage(const QString &message, UserMessage::Kind kind)
{
    QMutexLocker locker(&m_ownerMutex);
    if (MediaRecorder *target = m_owner) {
        QMetaObject::invokeMethod(
            target, [target, message, kind] { emit target->userMessage(message, kind); },
            Qt::QueuedConnection);
    }
}

void RecordingRun::postRecordingChanged()
{
    QMutexLocker locker(&m_ownerMutex);
    if (m_owner)
        QMetaObject::invokeMethod(m_owner, &MediaRecorder::isRecordingChanged,
                                  Qt::QueuedConnection);
}

void RecordingRun::requestVideoReset()
{
    QMutexLocker locker(&m_ownerMutex);
    if (m_owner)
        QMetaObject::invokeMethod(m_owner, &MediaRecorder::videoResetRequested,
                                  Qt::QueuedConnection);
}

bool RecordingRun::openOutput()
{
    {
        QMutexLocker locker(&m_mutex);
        if (m_abandoned)
            return false;
    }
    // Opened outside the lock: a slow folder must not hold up stop() or the destructor.
    QString path;
    const bool opened = tryOpen(path);
    QMutexLocker locker(&m_mutex);
    if (opened && !m_abandoned) {
        m_filePath = path;
        m_stopRequested = false;
        return true;
    }
    const bool report = !m_abandoned;
    locker.unlock();
    closeOutput();
    if (opened)
        QFile::remove(path);
    if (report)
        postMessage(MediaRecorder::tr("Record Failed"), UserMessage::Kind::Error);
    return false;
}

bool RecordingRun::tryOpen(QString &filePath)
{
    // An empty folder setting would put recordings into the file-system root.
    if (m_names.folder.isEmpty() || !QDir().mkpath(m_names.folder))
        return false;
    filePath = QDir(m_names.folder)
                   .filePath(MediaRecorder::recordingFileName(m_names.nickname, m_names.serial,
                                                              QDateTime::currentDateTime()));
    const QByteArray path = QFile::encodeName(filePath);
    if (avformat_alloc_output_context2(&m_format, nullptr, "matroska", path.constData()) < 0 ||
        !m_format)
        return false;
    return avio_open2(&m_format->pb, path.constData(), AVIO_FLAG_WRITE, nullptr, nullptr) >= 0;
}

int RecordingRun::closeOutput()
{
    if (!m_format)
        return 0;
    int result = 0;
    if (!(m_format->oformat->flags & AVFMT_NOFILE))
        result = avio_closep(&m_format->pb);
    avformat_free_context(m_format);
    m_format = nullptr;
    return result;
}

bool RecordingRun::wanted(bool enabled, AVPacket *held, const std::deque<AVPacket *> &queue) const
{
    return enabled && !held && !queue.empty();
}

void RecordingRun::loop()
{
    AVPacket *video = nullptr;
    AVPacket *audio = nullptr;
    while (!failed()) {
        QMutexLocker locker(&m_mutex);
        while (!m_stopRequested && !wanted(m_videoEnabled, video, m_videoQueue) &&
               !wanted(m_audioEnabled, audio, m_audioQueue))
            m_wake.wait(m_mutex);
        if (wanted(m_videoEnabled, video, m_videoQueue)) {
            video = m_videoQueue.front();
            m_videoQueue.pop_front();
        }
        if (wanted(m_audioEnabled, audio, m_audioQueue)) {
            audio = m_audioQueue.front();
            m_audioQueue.pop_front();
        }
        const bool stopping = m_stopRequested;
        const bool videoEnabled = m_videoEnabled;
        const bool audioEnabled = m_audioEnabled;
        if (stopping && !video && !audio)
            break;
        locker.unlock();

        if (video && !takeVideo(video))
            continue;
        if (audio)
            takeAudio(audio);
        if (m_startTime == AV_NOPTS_VALUE &&
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

bool RecordingRun::takeVideo(AVPacket *&video)
{
    if (video->pts == AV_NOPTS_VALUE) {
        if (!m_headerWritten)
            writeHeaderFrom(video);
        else
            m_laterConfig = QByteArray(reinterpret_cast<const char *>(video->data), video->size);
        releasePacket(video);
        return false;
    }
    // Nothing can be written before the header; a frame from before it must not
    // start the file either.
    if (!m_headerWritten) {
        releasePacket(video);
        return false;
    }
    if (!m_keyFrameSeen) {
        if (!(video->flags & AV_PKT_FLAG_KEY)) {
            releasePacket(video);
            return false;
        }
        m_keyFrameSeen = true;
    }
    if (!m_laterConfig.isEmpty())
        prependLaterConfig(video);
    return true;
}

void RecordingRun::takeAudio(AVPacket *&audio)
{
    if (audio->pts == AV_NOPTS_VALUE) {
        releasePacket(audio);
        return;
    }
    if (!m_audioStreamReady && !m_headerWritten)
        addAudioStream();
    if (!m_audioStreamReady)
        releasePacket(audio);
}

bool RecordingRun::findStartTime(AVPacket *video, AVPacket *&audio, bool videoEnabled,
                                 bool audioEnabled, bool stopping)
{
    // Once the header is written without an audio track, audio can never be written,
    // so waiting for it would only hold the video back.
    const bool audioCounts = audioEnabled && (m_audioStreamReady || !m_headerWritten);
    if (!audioCounts) {
        if (!video)
            return false;
        m_startTime = video->pts;
        return true;
    }
    if (!videoEnabled) {
        if (!audio)
            return false;
        m_startTime = audio->pts;
        return true;
    }
    if (video && audio) {
        m_startTime = qMin(video->pts, audio->pts);
        return true;
    }
    if (!stopping)
        return false;
    if (!video) {
        releasePacket(audio);
        return false;
    }
    m_startTime = video->pts;
    return true;
}

void RecordingRun::writeVideo(AVPacket *&video)
{
    const qint64 relative = video->pts - m_startTime;
    const qint64 nominal = m_videoFrameDuration;
    const qint64 delta =
        m_lastVideoRelativeTime == AV_NOPTS_VALUE ? nominal : relative - m_lastVideoRelativeTime;
    const qint64 duration = delta > 0 && delta <= 3 * nominal ? delta : nominal;
    m_lastVideoRelativeTime = relative;

    qint64 pts = 0;
    if (m_pendingVideo) {
        m_pendingVideo->duration = duration;
        const bool written = writePacket(m_pendingVideo, m_videoStream, m_lastWrittenVideoPts);
        releasePacket(m_pendingVideo);
        if (!written) {
            releasePacket(video);
            return;
        }
        pts = m_videoNextPts + duration;
    }
    m_videoNextPts = pts;
    video->pts = video->dts = pts;
    m_pendingVideo = video;
    video = nullptr;
}

void RecordingRun::writeAudio(AVPacket *audio)
{
    if (!m_audioStreamReady)
        return;
    const qint64 relative = audio->pts - m_startTime;
    const qint64 nominal = m_audioFrameDuration;
    const qint64 delta =
        m_lastAudioRelativeTime == AV_NOPTS_VALUE ? nominal : relative - m_lastAudioRelativeTime;
    const qint64 duration = delta > 0 && delta <= 4 * nominal ? delta : nominal;
    m_lastAudioRelativeTime = relative;
    audio->pts = audio->dts = m_audioNextPts;
    audio->duration = duration;
    writePacket(audio, m_audioStream, m_lastWrittenAudioPts);
    m_audioNextPts += duration;
}

bool RecordingRun::writePacket(AVPacket *packet, AVStream *stream, qint64 &lastWrittenPts)
{
    if (failed() || !m_headerWritten || !m_format || !m_format->pb || !stream || !packet ||
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
    const int result = av_interleaved_write_frame(m_format, packet);
    return commit() && result >= 0;
}

bool RecordingRun::commit()
{
    AVIOContext *pb = m_format->pb;
    avio_flush(pb);
    if (pb->error < 0) {
        m_ioError = pb->error;
        return false;
    }
    m_committedSize = avio_tell(pb);
    return true;
}

void RecordingRun::writeHeaderFrom(const AVPacket *config)
{
    if (!m_videoStreamReady)
        addVideoStream(config);
    if (!m_videoStreamReady)
        return;
    // Whether the file gets a sound track must not depend on whether a sound packet or
    // the requested config packet happens to arrive first: when the session carries
    // sound, the track is there from the start.
    bool soundTrack = false;
    {
        QMutexLocker locker(&m_mutex);
        soundTrack = m_audioEnabled && m_phoneSendsSound;
    }
    if (soundTrack && !m_audioStreamReady)
        addAudioStream();
    AVDictionary *options = nullptr;
    av_dict_set(&options, "reserve_index_space", "0", 0);
    const int result = avformat_write_header(m_format, &options);
    av_dict_free(&options);
    // A header the muxer refused waits for the next config packet; one the disk refused
    // ends the recording.
    if (commit() && result >= 0) {
        m_headerWritten = true;
        m_headerSize = m_committedSize;
    }
    m_videoFrameDuration = framePeriod(m_videoRate, maxFramePeriod(), DefaultVideoFrameDuration);
}

void RecordingRun::addVideoStream(const AVPacket *config)
{
    if (!config->data || config->size <= 0)
        return;
    AVStream *stream = m_videoStream ? m_videoStream : avformat_new_stream(m_format, nullptr);
    if (!stream)
        return;
    m_videoStream = stream;
    AVCodecParameters *par = stream->codecpar;
    par->codec_type = AVMEDIA_TYPE_VIDEO;
    par->codec_id = AV_CODEC_ID_H264;
    // The track's picture size: from the parameter sets, else from the last decoded frame.
    QSize size = H264::pictureSizeFromConfig(
        QByteArray::fromRawData(reinterpret_cast<const char *>(config->data), config->size));
    AVRational rate{30, 1};
    {
        QMutexLocker locker(&m_mutex);
        if (!size.isValid())
            size = m_frame;
        if (m_maxFps >= 1)
            rate = AVRational{m_maxFps, 1};
    }
    par->width = size.width();
    par->height = size.height();
    av_freep(&par->extradata);
    par->extradata_size = 0;
    par->extradata =
        static_cast<uint8_t *>(av_mallocz(config->size + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!par->extradata)
        return;
    memcpy(par->extradata, config->data, config->size);
    par->extradata_size = config->size;
    par->codec_tag = 0;

    // Players count a track's time in periods of its declared frame rate (else of the one
    // in the parameter sets), where frames the phone sends a few milliseconds apart would
    // fall on one tick. Declared: just under the container's millisecond, the finest
    // rate the muxer stores and readers take.
    m_videoRate = rate;
    stream->avg_frame_rate = AVRational{29999, 30};
    stream->r_frame_rate = stream->avg_frame_rate;
    stream->time_base = MicrosecondBase;
    m_videoFrameDuration = framePeriod(rate, maxFramePeriod(), DefaultVideoFrameDuration);
    m_videoStreamReady = true;
}

void RecordingRun::addAudioStream()
{
    AVStream *stream = m_audioStream ? m_audioStream : avformat_new_stream(m_format, nullptr);
    if (!stream)
        return;
    m_audioStream = stream;
    AVCodecParameters *par = stream->codecpar;
    par->codec_type = AVMEDIA_TYPE_AUDIO;
    par->codec_id = AV_CODEC_ID_OPUS;
    av_channel_layout_uninit(&par->ch_layout);
    par->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
    par->sample_rate = 48000;
    par->format = AV_SAMPLE_FMT_S16;
    par->frame_size = 960;
    stream->time_base = MicrosecondBase;
    m_audioFrameDuration = framePeriod(AVRational{par->sample_rate, par->frame_size}, 100000,
                                       DefaultAudioFrameDuration);
    m_audioStreamReady = true;
}

void RecordingRun::prependLaterConfig(AVPacket *&video)
{
    AVPacket *joined = av_packet_alloc();
    if (!joined || av_new_packet(joined, m_laterConfig.size() + video->size) < 0) {
        av_packet_free(&joined);
        return;
    }
    av_packet_copy_props(joined, video);
    memcpy(joined->data, m_laterConfig.constData(), m_laterConfig.size());
    memcpy(joined->data + m_laterConfig.size(), video->data, video->size);
    m_laterConfig.clear();
    av_packet_free(&video);
    video = joined;
}

void RecordingRun::finish()
{
    if (m_pendingVideo) {
        m_pendingVideo->duration = LastVideoFrameDuration;
        writePacket(m_pendingVideo, m_videoStream, m_lastWrittenVideoPts);
        releasePacket(m_pendingVideo);
    }
    if (m_headerWritten && !failed()) {
        av_interleaved_write_frame(m_format, nullptr);
        // A trailer the disk refused leaves the file as it was at the last commit; any
        // other trailer trouble still leaves a playable file.
        av_write_trailer(m_format);
        if (m_format->pb->error < 0)
            m_ioError = m_format->pb->error;
    }
    QString path;
    {
        QMutexLocker locker(&m_mutex);
        m_stopRequested = true; // a failure ends the recording without a stop()
        releaseQueue(m_videoQueue);
        releaseQueue(m_audioQueue);
        path = m_filePath;
        m_filePath.clear();
        // Closed before the user hears of it, so the file is complete when announced.
        const int closed = closeOutput();
        if (closed < 0 && !failed())
            m_ioError = closed;
    }
    if (failed()) {
        keepWhatWasCommitted(path);
        postMessage(failureMessage(), UserMessage::Kind::Error);
    } else {
        postMessage(MediaRecorder::tr("Record Stopped"), UserMessage::Kind::Success);
    }
    postRecordingChanged();
}

void RecordingRun::keepWhatWasCommitted(const QString &path)
{
    if (nothingRecorded())
        QFile::remove(path);
    else
        QFile::resize(path, m_committedSize);
}

QString RecordingRun::failureMessage() const
{
    const bool full = m_ioError == AVERROR(ENOSPC) || m_ioError == AVERROR(EDQUOT);
    if (nothingRecorded())
        return full ? MediaRecorder::tr("Record Failed: the disk is full, nothing was recorded")
                    : MediaRecorder::tr(
                          "Record Failed: the file could not be written, nothing was recorded");
    if (full)
        return MediaRecorder::tr("Record Failed: the disk is full");
    return MediaRecorder::tr("Record Failed: the file could not be written");
}

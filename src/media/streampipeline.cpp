#include "streampipeline.h"

#include "audiodecoder.h"
#include "audiodemuxer.h"
#include "hardwaredecoding.h"
#include "mediarecorder.h"
#include "mediathreads.h"
#include "simpleaudioplayer.h"
#include "videodecoder.h"
#include "videodemuxer.h"
#include "videoframefeed.h"

#include <QFuture>
#include <QMutexLocker>
#include <QTcpSocket>
#include <QThread>

extern "C" {
#include <libavcodec/packet.h>
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace {
// The demuxers of a pipeline hand each packet to the pipeline's recorder (which may be cut
// off at any moment from another thread) and then to their decoder.
class PipelineVideoDemuxer : public VideoDemuxer
{
public:
    PipelineVideoDemuxer(QTcpSocket *socket, VideoDecoder *decoder, StreamPipeline *pipeline)
        : VideoDemuxer(socket, nullptr, decoder, pipeline), m_pipeline(pipeline)
    {}

protected:
    void handOn(AVPacket *packet) override
    {
        if (m_pipeline->isClosed())
            return; // the session is over: nobody looks any more
        m_pipeline->recordPacket(packet, true);
        qint64 waiting = bufferedBytes();
        if (socket())
            waiting += socket()->bytesAvailable();
        if (m_pipeline->admitVideoPacket(packet, waiting))
            VideoDemuxer::handOn(packet);
    }

private:
    StreamPipeline *m_pipeline;
};

class PipelineAudioDemuxer : public AudioDemuxer
{
public:
    PipelineAudioDemuxer(QTcpSocket *socket, AudioDecoder *decoder, bool nameFieldFirst,
                         StreamPipeline *pipeline)
        : AudioDemuxer(socket, nullptr, decoder, nameFieldFirst, pipeline), m_pipeline(pipeline)
    {}

protected:
    void handOn(AVPacket *packet) override
    {
        if (m_pipeline->isClosed())
            return;
        if (!m_codecReported) {
            m_codecReported = true;
            m_pipeline->reportAudioCodec(codecId());
        }
        m_pipeline->recordPacket(packet, false);
        AudioDemuxer::handOn(packet);
    }

private:
    StreamPipeline *m_pipeline;
    bool m_codecReported = false;
};

} // namespace

StreamPipeline::StreamPipeline(StreamSink *sink, VideoFrameFeed *feed, MediaRecorder *recorder,
                               const QString &serial)
    : m_serial(serial), m_sink(sink), m_feed(feed), m_recorder(recorder)
{
    m_thread = MediaThreads::acquire();
    if (m_thread)
        moveToThread(m_thread);
}

StreamPipeline::~StreamPipeline()
{
    // Demuxers first: they own the decoder contexts the decoders read.
    VideoDemuxer *videoDemuxer = m_videoDemuxer.exchange(nullptr);
    VideoDecoder *videoDecoder = nullptr;
    {
        QMutexLocker locker(&m_decoderMutex);
        videoDecoder = m_videoDecoder.exchange(nullptr);
    }
    AudioDemuxer *audioDemuxer = m_audioDemuxer.exchange(nullptr);
    AudioDecoder *audioDecoder = m_audioDecoder.exchange(nullptr);
    delete videoDemuxer;
    delete audioDemuxer;
    delete videoDecoder;
    delete audioDecoder;
    delete m_audioPlayer;
    delete m_videoSocket;
    delete m_audioSocket;
    sws_freeContext(m_converter);
    if (m_thread)
        MediaThreads::release(m_thread);
}

void StreamPipeline::attachVideo(QTcpSocket *socket)
{
    if (!socket)
        return;
    m_hasVideo = true;
    socket->moveToThread(thread());
    QMetaObject::invokeMethod(
        this, [this, socket] { setUpVideo(socket); }, Qt::QueuedConnection);
}

void StreamPipeline::attachAudio(QTcpSocket *socket, bool nameFieldFirst)
{
    if (!socket)
        return;
    socket->moveToThread(thread());
    QMetaObject::invokeMethod(
        this, [this, socket, nameFieldFirst] { setUpAudio(socket, nameFieldFirst); },
        Qt::QueuedConnection);
}

void StreamPipeline::close()
{
    {
        QMutexLocker locker(&m_linkMutex);
        m_sink = nullptr;
        m_feed = nullptr;
        m_recorder = nullptr;
        m_closed = true;
    }
    deleteLater();
}

QFuture<QString> StreamPipeline::takeScreenshot()
{
    // The media thread may replace or delete the decoder meanwhile.
    QMutexLocker locker(&m_decoderMutex);
    VideoDecoder *decoder = m_videoDecoder;
    return decoder ? decoder->takeScreenshot()
                   : QtFuture::makeReadyFuture(VideoDecoder::tr("Screenshot Failed"));
}

void StreamPipeline::recordPacket(const AVPacket *packet, bool video)
{
    QMutexLocker locker(&m_linkMutex);
    if (!m_recorder)
        return;
    if (video)
        m_recorder->pushVideoPacket(packet);
    else
        m_recorder->pushAudioPacket(packet);
}

// Skipping costs no decoding, so a pipeline behind its phone reads through the backlog fast.
// The recorder has already had the packet: a recording keeps every packet and stays whole.
bool StreamPipeline::admitVideoPacket(const AVPacket *packet, qint64 waitingBytes)
{
    if (packet->pts == AV_NOPTS_VALUE)
        return true; // stream configuration: the next key frame needs it
    if (!m_clock.isValid())
        m_clock.start();
    const qint64 nowMs = m_clock.elapsed();
    m_lag.addPacket(packet->pts, m_clock.nsecsElapsed() / 1000, packet->size);
    const int bound = m_maxLagMs;
    if (bound <= 0)
        return true;
    const bool key = packet->flags & AV_PKT_FLAG_KEY;
    if (m_catchingUp) {
        if (key && m_lag.packetLagMs() <= bound) {
            m_catchingUp = false;
            if (VideoDemuxer *demuxer = m_videoDemuxer.load())
                demuxer->setMaxPacketsPerRead(PacketsPerTurn);
            emit catchingUpChanged(false);
            return true;
        }
        // The phone may not have seen the request (or sent its frame before a backlog).
        if (nowMs - m_resetAskedMs > 4 * bound) {
            m_resetAskedMs = nowMs;
            emit videoResetNeeded();
        }
        return false;
    }
    // What the screen adds counts too, up to half the bound: dropping packets cannot make a
    // slow window faster, so it alone must never keep the pipeline catching up.
    qint64 shownAfterMs = 0;
    {
        QMutexLocker locker(&m_linkMutex);
        if (m_feed)
            shownAfterMs = qMin<qint64>(m_feed->showDelayMs(), bound / 2);
    }
    // Bytes still waiting only bring a catch-up forward once packets already come late: a
    // burst that arrived on time (a new key frame, a scroll) is no lag.
    if ((m_lag.packetLagMs() + shownAfterMs) * 2 <= bound ||
        m_lag.lagMs(waitingBytes) + shownAfterMs <= bound)
        return true;
    m_catchingUp = true;
    ++m_catchUps;
    m_resetAskedMs = nowMs;
    if (VideoDemuxer *demuxer = m_videoDemuxer.load())
        demuxer->setMaxPacketsPerRead(VideoDemuxer::MaxPacketsPerRead);
    emit catchingUpChanged(true);
    emit videoResetNeeded();
    return false;
}

void StreamPipeline::reportAudioCodec(const QByteArray &codecId)
{
    QMutexLocker locker(&m_linkMutex);
    if (m_sink)
        m_sink->handleAudioCodec(codecId);
}

void StreamPipeline::deliverVideoFrame(AVFrame *frame)
{
    if (!frame || frame->width < 1 || frame->height < 1)
        return;
    QMutexLocker locker(&m_linkMutex);
    if (!m_feed || !m_sink)
        return;
    // A full-range stream decodes as YUVJ420P: the same planes, which the video item converts
    // with the full-range formula anyway. Other 4:2:0 layouts are rearranged; the rest is not
    // shown.
    if (frame->format == AV_PIX_FMT_YUV420P || frame->format == AV_PIX_FMT_YUVJ420P) {
        m_feed->publish(YuvFrame::share(frame));
    } else {
        AVFrame *planar = HardwareDecoding::toPlanar(frame, &m_converter);
        if (!planar)
            return;
        m_feed->publish(YuvFrame::share(planar));
        av_frame_free(&planar);
    }
    m_sink->handleVideoFrameSize(QSize(frame->width, frame->height));
}

void StreamPipeline::setUpVideo(QTcpSocket *socket)
{
    delete m_videoSocket; // one video connection per session; a second one replaces it
    delete m_videoDemuxer.exchange(nullptr);
    {
        QMutexLocker locker(&m_decoderMutex);
        delete m_videoDecoder.exchange(nullptr);
    }
    m_videoSocket = socket;
    m_lag.reset();
    if (m_catchingUp) {
        m_catchingUp = false;
        emit catchingUpChanged(false);
    }
    socket->setParent(this);
    socket->setReadBufferSize(SocketBufferBytes);
    socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, SystemBufferBytes);
    auto *decoder = new VideoDecoder(m_serial, this);
    connect(decoder, &VideoDecoder::frameDecoded, this, &StreamPipeline::deliverVideoFrame,
            Qt::DirectConnection);
    auto *demuxer = new PipelineVideoDemuxer(socket, decoder, this);
    demuxer->setMaxPacketsPerRead(PacketsPerTurn);
    decoder->setDemuxer(demuxer);
    connect(demuxer, &VideoDemuxer::unsupportedCodec, this, &StreamPipeline::videoCodecUnsupported);
    {
        QMutexLocker locker(&m_decoderMutex);
        m_videoDecoder = decoder;
    }
    m_videoDemuxer = demuxer;
    // Bytes that came before the demuxer was listening raise no readyRead of their own.
    if (socket->bytesAvailable() > 0)
        demuxer->read();
}

void StreamPipeline::setUpAudio(QTcpSocket *socket, bool nameFieldFirst)
{
    delete m_audioSocket;
    delete m_audioDemuxer.exchange(nullptr);
    delete m_audioDecoder.exchange(nullptr);
    delete m_audioPlayer;
    m_audioSocket = socket;
    socket->setParent(this);
    socket->setReadBufferSize(SocketBufferBytes);
    socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, SystemBufferBytes);
    auto *decoder = new AudioDecoder(this);
    // The player lives here too: sound never waits for the GUI thread.
    m_audioPlayer = new SimpleAudioPlayer(this);
    SimpleAudioPlayer *player = m_audioPlayer;
    connect(
        decoder, &AudioDecoder::frameDecoded, this,
        [player](AVFrame *frame) { player->play(frame); }, Qt::DirectConnection);
    auto *demuxer = new PipelineAudioDemuxer(socket, decoder, nameFieldFirst, this);
    decoder->setDemuxer(demuxer);
    connect(demuxer, &AudioDemuxer::audioUnavailable, this, [this, demuxer] {
        reportAudioCodec(demuxer->codecId());
        emit audioUnavailable();
    });
    connect(demuxer, &AudioDemuxer::audioDecoderFailed, this, &StreamPipeline::audioDecoderFailed);
    connect(demuxer, &AudioDemuxer::unsupportedCodec, this, &StreamPipeline::audioCodecUnsupported);
    m_audioDecoder = decoder;
    m_audioDemuxer = demuxer;
    m_audioPlayer->start();
    if (socket->bytesAvailable() > 0)
        demuxer->read();
}

#include "simpleaudioplayer.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QMediaDevices>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace {
// Identifies a channel layout well enough to notice when the input changes.
QByteArray layoutName(const AVChannelLayout &layout)
{
    char name[128] = {};
    if (av_channel_layout_describe(&layout, name, sizeof name) < 0)
        return {};
    return QByteArray(name) + '/' + QByteArray::number(layout.nb_channels);
}
} // namespace

SimpleAudioPlayer::SimpleAudioPlayer(QObject *parent) : QObject(parent)
{
    m_format.setSampleFormat(QAudioFormat::Int16);
    m_format.setChannelCount(OutputChannels);
    m_format.setSampleRate(OutputSampleRate);
    m_sink = new QAudioSink(QMediaDevices::defaultAudioOutput(), m_format, this);
}

SimpleAudioPlayer::~SimpleAudioPlayer()
{
    if (m_started && m_sink) {
        m_sink->stop();
        m_output = nullptr;
        m_started = false;
    }
    swr_free(&m_resampler);
    delete m_sink;
    m_sink = nullptr;
}

void SimpleAudioPlayer::start()
{
    if (m_started || !m_sink)
        return;
    m_output = startOutput();
    m_started = true;
}

void SimpleAudioPlayer::play(const AVFrame *frame)
{
    if (!frame || !m_started || !m_output)
        return;
    const QByteArray chunk = convert(frame);
    if (chunk.isEmpty())
        return;
    // Whole chunks only: a partial write would tear the sample stream.
    if (outputBytesFree() >= chunk.size())
        m_output->write(chunk);
}

QIODevice *SimpleAudioPlayer::startOutput()
{
    return m_sink->start();
}

qint64 SimpleAudioPlayer::outputBytesFree() const
{
    return m_sink ? m_sink->bytesFree() : 0;
}

bool SimpleAudioPlayer::ensureResampler(const AVFrame *frame)
{
    if (m_resamplerReady) {
        // A frame of another layout, rate or format would make the resampler read past
        // the frame's planes, so it is configured again for it.
        if (m_inputSampleRate == frame->sample_rate && m_inputSampleFormat == frame->format &&
            m_inputLayout == layoutName(frame->ch_layout))
            return true;
        swr_free(&m_resampler);
        m_resamplerReady = false;
    }

    SwrContext *resampler = swr_alloc();
    if (!resampler)
        return false;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    av_opt_set_chlayout(resampler, "in_chlayout", &frame->ch_layout, 0);
    av_opt_set_chlayout(resampler, "out_chlayout", &stereo, 0);
    av_opt_set_int(resampler, "in_sample_rate", frame->sample_rate, 0);
    av_opt_set_int(resampler, "out_sample_rate", OutputSampleRate, 0);
    av_opt_set_sample_fmt(resampler, "in_sample_fmt", AVSampleFormat(frame->format), 0);
    av_opt_set_sample_fmt(resampler, "out_sample_fmt", AV_SAMPLE_FMT_S16, 0);
    if (swr_init(resampler) < 0) {
        swr_free(&resampler);
        return false;
    }

    m_resampler = resampler;
    m_resamplerReady = true;
    m_inputLayout = layoutName(frame->ch_layout);
    m_inputSampleRate = frame->sample_rate;
    m_inputSampleFormat = frame->format;
    return true;
}

QByteArray SimpleAudioPlayer::convert(const AVFrame *frame)
{
    if (!frame || frame->nb_samples <= 0 || !ensureResampler(frame))
        return {};

    const int capacity = swr_get_out_samples(m_resampler, frame->nb_samples);
    if (capacity <= 0)
        return {};
    const int capacityBytes =
        av_samples_get_buffer_size(nullptr, OutputChannels, capacity, AV_SAMPLE_FMT_S16, 1);
    if (capacityBytes <= 0)
        return {};
    QByteArray pcm(capacityBytes, '\0');
    auto *out = reinterpret_cast<uint8_t *>(pcm.data());
    const int converted =
        swr_convert(m_resampler, &out, capacity, const_cast<const uint8_t **>(frame->extended_data),
                    frame->nb_samples);
    if (converted < 0)
        return {};
    const int size =
        av_samples_get_buffer_size(nullptr, OutputChannels, converted, AV_SAMPLE_FMT_S16, 1);
    pcm.truncate(qMax(size, 0));
    return pcm;
}

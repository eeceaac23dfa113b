#include "audiosource.h"

#include "media_log.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

namespace {

constexpr int kSampleRate = 48000;
constexpr int kChannels = 2;
constexpr int kFrameSamples = 960; // 20 ms
constexpr int kBitRate = 128000;
constexpr double kAmplitude = 0.25; // -12 dBFS: clearly audible, never clipping
constexpr int kHighestToneHz = 20000;

} // namespace

class AudioSourcePrivate
{
public:
    explicit AudioSourcePrivate(int toneHz);
    ~AudioSourcePrivate();
    bool open();
    void fillFrame();

    AVCodecContext *context = nullptr;
    AVFrame *frame = nullptr;
    AVPacket *packet = nullptr;
    double phase = 0;     // radians, carried from packet to packet
    double phaseStep = 0; // radians per sample
    qint64 samplesSent = 0;
};

AudioSourcePrivate::AudioSourcePrivate(int toneHz)
{
    // 0 or less: a silent phone; above the audible range: the highest audible tone.
    const int hz = std::clamp(toneHz, 0, kHighestToneHz);
    phaseStep = 2.0 * M_PI * hz / kSampleRate;
    if (!open()) {
        avcodec_free_context(&context);
        av_frame_free(&frame);
        av_packet_free(&packet);
    }
}

AudioSourcePrivate::~AudioSourcePrivate()
{
    avcodec_free_context(&context);
    av_frame_free(&frame);
    av_packet_free(&packet);
}

bool AudioSourcePrivate::open()
{
    const AVCodec *codec = avcodec_find_encoder_by_name("libopus");
    if (!codec) {
        qCWarning(lcMedia) << "libopus encoder not available";
        return false;
    }
    context = avcodec_alloc_context3(codec);
    frame = av_frame_alloc();
    packet = av_packet_alloc();
    if (!context || !frame || !packet)
        return false;
    context->sample_rate = kSampleRate;
    context->sample_fmt = AV_SAMPLE_FMT_FLT;
    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    if (av_channel_layout_copy(&context->ch_layout, &stereo) < 0)
        return false;
    context->bit_rate = kBitRate;
    context->time_base = AVRational{1, kSampleRate};
    AVDictionary *options = nullptr;
    av_dict_set(&options, "frame_duration", "20", 0);
    const int rc = avcodec_open2(context, codec, &options);
    av_dict_free(&options);
    if (rc < 0) {
        qCWarning(lcMedia) << "opening libopus failed:" << rc;
        return false;
    }
    if (context->frame_size != kFrameSamples || context->extradata_size <= 0) {
        qCWarning(lcMedia) << "libopus opened with unexpected frame size" << context->frame_size;
        return false;
    }
    frame->format = context->sample_fmt;
    frame->nb_samples = kFrameSamples;
    frame->sample_rate = kSampleRate;
    if (av_channel_layout_copy(&frame->ch_layout, &context->ch_layout) < 0)
        return false;
    return av_frame_get_buffer(frame, 0) >= 0;
}

void AudioSourcePrivate::fillFrame()
{
    auto *samples = reinterpret_cast<float *>(frame->data[0]);
    for (int i = 0; i < kFrameSamples; ++i) {
        const float value = float(kAmplitude * std::sin(phase));
        for (int c = 0; c < kChannels; ++c)
            samples[i * kChannels + c] = value;
        phase += phaseStep;
        if (phase >= 2.0 * M_PI)
            phase -= 2.0 * M_PI;
    }
}

AudioSource::AudioSource(int toneHz) : d(std::make_unique<AudioSourcePrivate>(toneHz)) {}

AudioSource::~AudioSource() = default;

bool AudioSource::isValid() const
{
    return d->context != nullptr;
}

EncodedPacket AudioSource::configPacket()
{
    EncodedPacket packet;
    packet.config = true;
    if (isValid())
        packet.data = QByteArray(reinterpret_cast<const char *>(d->context->extradata),
                                 d->context->extradata_size);
    return packet;
}

EncodedPacket AudioSource::nextPacket(qint64 ptsUs)
{
    EncodedPacket out;
    out.ptsUs = ptsUs;
    if (!isValid() || av_frame_make_writable(d->frame) < 0)
        return out;
    d->fillFrame();
    d->frame->pts = d->samplesSent;
    d->samplesSent += kFrameSamples;
    if (avcodec_send_frame(d->context, d->frame) < 0)
        return out;
    if (avcodec_receive_packet(d->context, d->packet) < 0)
        return out;
    out.data = QByteArray(reinterpret_cast<const char *>(d->packet->data), d->packet->size);
    av_packet_unref(d->packet);
    return out;
}

#include "audiosource.h"

#include "media_log.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

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
constexpr int kPacketsPerSecond = kSampleRate / kFrameSamples;
constexpr int kBitRate = 128000;
constexpr double kAmplitude = 0.25; // -12 dBFS: clearly audible, never clipping
constexpr int kHighestToneHz = 20000;

// A whole-hertz tone repeats exactly every second, so once the encoder has settled (after the
// first second) one second of its packets can be played in a loop: every phone's audio then
// costs nothing after start-up, and phones with the same tone share the packets.
struct EncodedTone
{
    QByteArray header;               // OpusHead
    std::vector<QByteArray> packets; // two seconds
    static constexpr size_t kLoopStart = kPacketsPerSecond;
};

struct EncoderParts
{
    AVCodecContext *context = nullptr;
    AVFrame *frame = nullptr;
    AVPacket *packet = nullptr;
    ~EncoderParts()
    {
        avcodec_free_context(&context);
        av_frame_free(&frame);
        av_packet_free(&packet);
    }
};

bool openEncoder(EncoderParts *e)
{
    const AVCodec *codec = avcodec_find_encoder_by_name("libopus");
    if (!codec) {
        qCWarning(lcSimMedia) << "libopus encoder not available";
        return false;
    }
    e->context = avcodec_alloc_context3(codec);
    e->frame = av_frame_alloc();
    e->packet = av_packet_alloc();
    if (!e->context || !e->frame || !e->packet)
        return false;
    e->context->sample_rate = kSampleRate;
    e->context->sample_fmt = AV_SAMPLE_FMT_FLT;
    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    if (av_channel_layout_copy(&e->context->ch_layout, &stereo) < 0)
        return false;
    e->context->bit_rate = kBitRate;
    e->context->time_base = AVRational{1, kSampleRate};
    AVDictionary *options = nullptr;
    av_dict_set(&options, "frame_duration", "20", 0);
    const int rc = avcodec_open2(e->context, codec, &options);
    av_dict_free(&options);
    if (rc < 0) {
        qCWarning(lcSimMedia) << "opening libopus failed:" << rc;
        return false;
    }
    if (e->context->frame_size != kFrameSamples || e->context->extradata_size <= 0) {
        qCWarning(lcSimMedia) << "libopus opened with frame size" << e->context->frame_size;
        return false;
    }
    e->frame->format = e->context->sample_fmt;
    e->frame->nb_samples = kFrameSamples;
    e->frame->sample_rate = kSampleRate;
    if (av_channel_layout_copy(&e->frame->ch_layout, &e->context->ch_layout) < 0)
        return false;
    return av_frame_get_buffer(e->frame, 0) >= 0;
}

std::shared_ptr<const EncodedTone> encodeTone(int hz)
{
    EncoderParts e;
    if (!openEncoder(&e))
        return nullptr;
    auto tone = std::make_shared<EncodedTone>();
    tone->header =
        QByteArray(reinterpret_cast<const char *>(e.context->extradata), e.context->extradata_size);
    for (int p = 0; p < 2 * kPacketsPerSecond; ++p) {
        if (av_frame_make_writable(e.frame) < 0)
            return nullptr;
        auto *samples = reinterpret_cast<float *>(e.frame->data[0]);
        for (int i = 0; i < kFrameSamples; ++i) {
            // The phase from the sample's place within its second: exactly periodic.
            const int n = (p * kFrameSamples + i) % kSampleRate;
            const float value = float(kAmplitude * std::sin(2.0 * M_PI * hz * n / kSampleRate));
            for (int c = 0; c < kChannels; ++c)
                samples[i * kChannels + c] = value;
        }
        e.frame->pts = qint64(p) * kFrameSamples;
        if (avcodec_send_frame(e.context, e.frame) < 0 ||
            avcodec_receive_packet(e.context, e.packet) < 0)
            return nullptr;
        tone->packets.emplace_back(reinterpret_cast<const char *>(e.packet->data), e.packet->size);
        av_packet_unref(e.packet);
    }
    return tone;
}

std::shared_ptr<const EncodedTone> sharedTone(int hz)
{
    static std::mutex mutex;
    static std::map<int, std::weak_ptr<const EncodedTone>> tones;
    std::lock_guard<std::mutex> guard(mutex);
    std::weak_ptr<const EncodedTone> &slot = tones[hz];
    std::shared_ptr<const EncodedTone> tone = slot.lock();
    if (!tone) {
        tone = encodeTone(hz);
        slot = tone;
    }
    return tone;
}

} // namespace

class AudioSourcePrivate
{
public:
    std::shared_ptr<const EncodedTone> tone;
    size_t next = 0;
};

AudioSource::AudioSource(int toneHz) : d(std::make_unique<AudioSourcePrivate>())
{
    // 0 or less: a silent phone; above the audible range: the highest audible tone.
    d->tone = sharedTone(std::clamp(toneHz, 0, kHighestToneHz));
}

AudioSource::~AudioSource() = default;

bool AudioSource::isValid() const
{
    return d->tone != nullptr;
}

EncodedPacket AudioSource::configPacket()
{
    EncodedPacket packet;
    packet.config = true;
    if (isValid())
        packet.data = d->tone->header;
    return packet;
}

EncodedPacket AudioSource::nextPacket(qint64 ptsUs)
{
    EncodedPacket out;
    out.ptsUs = ptsUs;
    if (!isValid())
        return out;
    out.data = d->tone->packets[d->next];
    if (++d->next == d->tone->packets.size())
        d->next = EncodedTone::kLoopStart;
    return out;
}

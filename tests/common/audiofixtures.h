#pragma once
// Frames with known samples, an Opus tone encoder and a tone meter.
#include "h264teststream.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

namespace AudioFixtures {

struct FrameDeleter
{
    void operator()(AVFrame *frame) const { av_frame_free(&frame); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

// A frame whose samples are value(channel, index), in -1..1.
inline FramePtr makeFrame(AVSampleFormat format, const AVChannelLayout &layout, int rate,
                          int samples, const std::function<double(int, int)> &value)
{
    FramePtr frame(av_frame_alloc());
    frame->format = format;
    frame->sample_rate = rate;
    frame->nb_samples = samples;
    av_channel_layout_copy(&frame->ch_layout, &layout);
    if (av_frame_get_buffer(frame.get(), 0) < 0)
        return {};
    const bool planar = av_sample_fmt_is_planar(format);
    const bool isFloat = av_get_packed_sample_fmt(format) == AV_SAMPLE_FMT_FLT;
    for (int ch = 0; ch < layout.nb_channels; ++ch) {
        for (int i = 0; i < samples; ++i) {
            uint8_t *plane = frame->extended_data[planar ? ch : 0];
            const int slot = planar ? i : i * layout.nb_channels + ch;
            if (isFloat)
                reinterpret_cast<float *>(plane)[slot] = float(value(ch, i));
            else
                reinterpret_cast<int16_t *>(plane)[slot] =
                    int16_t(std::lround(value(ch, i) * 32767));
        }
    }
    return frame;
}

inline QVector<int16_t> samplesOf(const QByteArray &pcm)
{
    const auto *first = reinterpret_cast<const int16_t *>(pcm.constData());
    return QVector<int16_t>(first, first + pcm.size() / 2);
}

// One channel of interleaved 16-bit stereo, scaled to -1..1.
inline QVector<double> channelOf(const QByteArray &pcm, int channel)
{
    const QVector<int16_t> all = samplesOf(pcm);
    QVector<double> out;
    for (int i = channel; i < all.size(); i += 2)
        out << all[i] / 32768.0;
    return out;
}

// Power of one frequency (Goertzel), relative to the signal's total power.
inline double toneShare(const QVector<double> &samples, int rate, double hz)
{
    const double k = 2 * std::cos(2 * M_PI * hz / rate);
    double s1 = 0, s2 = 0, total = 0;
    for (double x : samples) {
        s2 = std::exchange(s1, x + k * s1 - s2);
        total += x * x;
    }
    return total > 0 ? 2 * (s1 * s1 + s2 * s2 - k * s1 * s2) / (samples.size() * total) : 0;
}

// A sine tone as 20 ms Opus packets at 48000 Hz stereo, encoded with libopus.
class OpusToneEncoder
{
    static constexpr int Rate = 48000;
    static constexpr int FrameSamples = 960;

public:
    explicit OpusToneEncoder(double hz) : m_hz(hz)
    {
        const AVCodec *codec = avcodec_find_encoder_by_name("libopus");
        if (!codec)
            return;
        m_context = avcodec_alloc_context3(codec);
        av_channel_layout_default(&m_context->ch_layout, 2);
        m_context->sample_rate = Rate;
        m_context->sample_fmt = AV_SAMPLE_FMT_S16;
        m_context->bit_rate = 128000;
        m_context->frame_size = FrameSamples;
        if (avcodec_open2(m_context, codec, nullptr) < 0)
            avcodec_free_context(&m_context);
    }
    ~OpusToneEncoder() { avcodec_free_context(&m_context); }
    OpusToneEncoder(const OpusToneEncoder &) = delete;
    OpusToneEncoder &operator=(const OpusToneEncoder &) = delete;

    bool isValid() const { return m_context != nullptr; }

    // The next 20 ms packet, with pts in microseconds from the first sample.
    AVPacketPtr next()
    {
        AVPacketPtr packet(av_packet_alloc());
        while (true) {
            const int got = avcodec_receive_packet(m_context, packet.get());
            if (got >= 0) {
                packet->pts = packet->dts = m_packetsOut++ * 20000;
                return packet;
            }
            if (got != AVERROR(EAGAIN))
                return {};
            FramePtr frame = makeFrame(
                AV_SAMPLE_FMT_S16, m_context->ch_layout, Rate, FrameSamples, [this](int, int i) {
                    return 0.4 * std::sin(2 * M_PI * m_hz * double(m_sample + i) / Rate);
                });
            frame->pts = m_sample;
            m_sample += FrameSamples;
            if (avcodec_send_frame(m_context, frame.get()) < 0)
                return {};
        }
    }

private:
    double m_hz;
    AVCodecContext *m_context = nullptr;
    qint64 m_sample = 0, m_packetsOut = 0;
};

// Why a recording of 16-bit stereo at rate does not hold a clean, loud tone of hz on both
// channels: at least minSeconds audible, 0.3 s of it the tone in a row (a chunk the player had
// to drop, its output being full, joins two pieces of the tone out of phase).
inline QString toneProblem(const QByteArray &pcm, int rate, double hz, double minSeconds)
{
    const int window = rate / 20;
    const auto loud = [](double s) { return std::abs(s) > 0.02; };
    for (int channel = 0; channel < 2; ++channel) {
        const QVector<double> all = channelOf(pcm, channel);
        const auto first = std::find_if(all.begin(), all.end(), loud);
        const auto last = std::find_if(all.rbegin(), all.rend(), loud).base();
        const QVector<double> heard =
            first < last ? QVector<double>(first, last) : QVector<double>();
        int run = 0, longest = 0; // windows in a row that hold the tone, loud and clean
        for (qsizetype at = 0; at + window <= heard.size(); at += window) {
            const QVector<double> part = heard.mid(at, window);
            const double power = std::inner_product(part.begin(), part.end(), part.begin(), 0.0);
            run = toneShare(part, rate, hz) > 0.8 && power > 0.01 * window ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        if (heard.size() < minSeconds * rate || longest < 6)
            return QString::asprintf("channel %d: %g s audible, the tone for %g s in a row",
                                     channel, heard.size() / double(rate), longest / 20.0);
    }
    return QString();
}

} // namespace AudioFixtures

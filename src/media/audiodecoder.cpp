#include "audiodecoder.h"

#include "audiodemuxer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

AudioDecoder::AudioDecoder(QObject *parent) : QObject(parent), m_frame(av_frame_alloc()) {}

AudioDecoder::~AudioDecoder()
{
    av_frame_free(&m_frame);
}

void AudioDecoder::setDemuxer(AudioDemuxer *demuxer)
{
    m_demuxer = demuxer;
}

void AudioDecoder::decode(AVPacket *packet)
{
    AVCodecContext *context = m_demuxer ? m_demuxer->codecContext() : nullptr;
    if (!packet || !m_frame || !context || !avcodec_is_open(context))
        return;

    int result = avcodec_send_packet(context, packet);
    if (result == AVERROR(EAGAIN)) {
        drain();
        result = avcodec_send_packet(context, packet);
    }
    if (result < 0)
        return;
    drain();
}

void AudioDecoder::drain()
{
    AVCodecContext *context = m_demuxer->codecContext();
    while (avcodec_receive_frame(context, m_frame) >= 0) {
        emit frameDecoded(m_frame);
        av_frame_unref(m_frame);
    }
}

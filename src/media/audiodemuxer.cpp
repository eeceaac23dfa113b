#include "audiodemuxer.h"

#include "audiodecoder.h"
#include "medialog.h"
#include "mediarecorder.h"

#include <QIODevice>
#include <QtEndian>

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
}

namespace {
// Codec ids the phone sends instead of a codec name.
constexpr quint32 NoAudioCodecId = 0;     // the phone cannot capture sound
constexpr quint32 AudioSetupFailedId = 1; // the phone's audio set-up failed; it ends the session

QByteArray &decoderName()
{
    static QByteArray name = QByteArrayLiteral("opus");
    return name;
}
} // namespace

AudioDemuxer::AudioDemuxer(QIODevice *socket, MediaRecorder *recorder, AudioDecoder *decoder,
                           bool nameFieldFirst, QObject *parent)
    : QObject(parent), m_socket(socket), m_nameFieldFirst(nameFieldFirst), m_recorder(recorder),
      m_decoder(decoder)
{
    if (socket)
        connect(socket, &QIODevice::readyRead, this, &AudioDemuxer::read);
}

AudioDemuxer::~AudioDemuxer()
{
    avcodec_free_context(&m_codecContext);
}

AVCodecContext *AudioDemuxer::codecContext() const
{
    return m_codecContext;
}

void AudioDemuxer::read()
{
    m_readScheduled = false;
    if (m_socket)
        m_reader.append(m_socket->readAll());
    const QPointer<AudioDemuxer> alive(this);
    if (!m_headerRead && !readHeader())
        return;
    if (!alive)
        return; // a receiver of the header's outcome ended the session
    if (m_streamEnded) {
        m_reader.clear();
        return;
    }

    int handedOn = 0;
    while (handedOn < MaxPacketsPerRead) {
        FramedPacketReader::Frame frame;
        const auto result = m_reader.next(frame);
        if (result == FramedPacketReader::Result::NeedMore)
            break;
        if (result == FramedPacketReader::Result::Dropped)
            continue;

        AVPacket *packet = av_packet_alloc();
        if (packet && av_new_packet(packet, int(frame.size)) < 0)
            av_packet_free(&packet);
        if (packet) {
            std::memcpy(packet->data, frame.payload, frame.size);
            if (frame.ptsAndFlags & FramedPacketReader::ConfigFlag) {
                packet->pts = AV_NOPTS_VALUE;
                packet->dts = AV_NOPTS_VALUE;
            } else {
                packet->pts = qint64(frame.ptsAndFlags);
                packet->dts = packet->pts;
            }
        }
        // Without memory for the packet the whole frame is skipped, so the stream stays in step.
        m_reader.consume(FramedPacketReader::FrameHeaderSize + frame.size);
        if (!packet)
            continue;
        handOn(packet);
        av_packet_free(&packet);
        if (!alive)
            return; // a receiver ended the session
        ++handedOn;
    }
    // Bytes already buffered raise no further readyRead: finish them on the next loop turn.
    if (handedOn == MaxPacketsPerRead && m_reader.hasPendingFrame())
        scheduleRead();
}

bool AudioDemuxer::readHeader()
{
    const int nameSize = m_nameFieldFirst ? NameFieldSize : 0;
    if (m_reader.size() < nameSize + CodecIdSize)
        return false;
    const char *header = m_reader.data();
    if (m_nameFieldFirst)
        m_deviceName = QString::fromUtf8(header, qstrnlen(header, NameFieldSize));
    m_codecId = QByteArray(header + nameSize, CodecIdSize);
    m_reader.consume(nameSize + CodecIdSize);
    m_headerRead = true;

    const quint32 numericId = qFromBigEndian<quint32>(m_codecId.constData());
    if (numericId == NoAudioCodecId) {
        m_streamEnded = true;
        emit audioUnavailable();
    } else if (numericId == AudioSetupFailedId) {
        m_streamEnded = true;
    } else if (m_codecId != QByteArrayLiteral("opus")) {
        m_streamEnded = true;
        emit unsupportedCodec();
    } else {
        openDecoder();
    }
    return true;
}

void AudioDemuxer::openDecoder()
{
    // A phone without sound must not end every other phone's session: log, and play nothing.
    const QByteArray decoder = decoderName();
    const char *name = decoder.constData();
    const AVCodec *codec = avcodec_find_decoder_by_name(name);
    if (!codec) {
        qCWarning(lcMedia, "no audio decoder \"%s\"", name);
        emit audioDecoderFailed();
        return;
    }
    m_codecContext = avcodec_alloc_context3(codec);
    if (!m_codecContext) {
        qCWarning(lcMedia, "the audio decoder context could not be allocated");
        emit audioDecoderFailed();
        return;
    }
    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    av_channel_layout_uninit(&m_codecContext->ch_layout);
    av_channel_layout_copy(&m_codecContext->ch_layout, &stereo);
    m_codecContext->sample_rate = 48000;
    const int error = avcodec_open2(m_codecContext, codec, nullptr);
    if (error < 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(error, text, sizeof(text));
        qCWarning(lcMedia, "the audio decoder did not open: %s (%d)", text, error);
        avcodec_free_context(&m_codecContext);
        emit audioDecoderFailed();
    }
}

void AudioDemuxer::setDecoderNameForTesting(const QByteArray &name)
{
    decoderName() = name.isEmpty() ? QByteArrayLiteral("opus") : name;
}

void AudioDemuxer::handOn(AVPacket *packet)
{
    if (m_recorder)
        m_recorder->pushAudioPacket(packet);
    // The Opus header configures the decoder; fed as sound it is an error in the log.
    if (packet->pts == AV_NOPTS_VALUE)
        configureDecoder(packet);
    else if (m_decoder)
        m_decoder->decode(packet);
}

void AudioDemuxer::configureDecoder(const AVPacket *config)
{
    if (!m_codecContext ||
        (m_codecContext->extradata_size == config->size &&
         std::memcmp(m_codecContext->extradata, config->data, config->size) == 0))
        return;
    // Extradata is read when a decoder opens: a fresh context takes the place of the old one
    // only once it opened, so a header it refuses leaves the sound as it was.
    const AVCodec *codec = m_codecContext->codec;
    AVCodecContext *context = avcodec_alloc_context3(codec);
    if (!context)
        return;
    av_channel_layout_copy(&context->ch_layout, &m_codecContext->ch_layout);
    context->sample_rate = m_codecContext->sample_rate;
    // Packet times are the phone's microseconds; the header's pre-skip moves them.
    context->pkt_timebase = AVRational{1, 1000000};
    context->extradata =
        static_cast<uint8_t *>(av_mallocz(size_t(config->size) + AV_INPUT_BUFFER_PADDING_SIZE));
    if (context->extradata) {
        std::memcpy(context->extradata, config->data, size_t(config->size));
        context->extradata_size = config->size;
    }
    if (!context->extradata || avcodec_open2(context, codec, nullptr) < 0) {
        qCWarning(lcMedia, "the phone's Opus header was refused; decoding without it");
        avcodec_free_context(&context);
        return;
    }
    avcodec_free_context(&m_codecContext);
    m_codecContext = context;
}

void AudioDemuxer::scheduleRead()
{
    if (m_readScheduled)
        return;
    m_readScheduled = true;
    QMetaObject::invokeMethod(this, &AudioDemuxer::read, Qt::QueuedConnection);
}

#include "videodemuxer.h"

#include "hardwaredecoding.h"
#include "mediarecorder.h"
#include "videodecoder.h"

#include <QIODevice>
#include <QtEndian>

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
}

void FramedPacketReader::append(const QByteArray &bytes)
{
    if (m_offset > 0) {
        m_buffer.remove(0, m_offset);
        m_offset = 0;
    }
    m_buffer.append(bytes);
}

void FramedPacketReader::consume(qsizetype count)
{
    m_offset += qMin(count, size());
    if (m_offset == m_buffer.size()) {
        m_buffer.clear();
        m_offset = 0;
    }
}

void FramedPacketReader::clear()
{
    m_buffer.clear();
    m_offset = 0;
}

FramedPacketReader::Result FramedPacketReader::next(Frame &frame)
{
    if (size() < FrameHeaderSize)
        return Result::NeedMore;
    const char *header = data();
    const quint32 payloadSize = qFromBigEndian<quint32>(header + 8);
    if (payloadSize < 1 || payloadSize > m_maxPayloadSize) {
        consume(FrameHeaderSize);
        return Result::Dropped;
    }
    if (size() < FrameHeaderSize + qsizetype(payloadSize))
        return Result::NeedMore;
    frame.ptsAndFlags = qFromBigEndian<quint64>(header);
    frame.payload = header + FrameHeaderSize;
    frame.size = payloadSize;
    return Result::Ready;
}

bool FramedPacketReader::hasPendingFrame() const
{
    if (size() < FrameHeaderSize)
        return false;
    const quint32 payloadSize = qFromBigEndian<quint32>(data() + 8);
    if (payloadSize < 1 || payloadSize > m_maxPayloadSize)
        return true;
    return size() >= FrameHeaderSize + qsizetype(payloadSize);
}

namespace {
// Annex B payloads begin with 00 00 01 or 00 00 00 01; the phone may send bare NAL units.
bool needsStartCode(const uchar *payload, quint32 size)
{
    if (size < 5)
        return false;
    const bool hasStartCode =
        payload[0] == 0 && payload[1] == 0 && (payload[2] <= 1 || payload[3] == 1);
    return !hasStartCode;
}
} // namespace

VideoDemuxer::VideoDemuxer(QIODevice *socket, MediaRecorder *recorder, VideoDecoder *decoder,
                           QObject *parent)
    : QObject(parent), m_socket(socket), m_recorder(recorder), m_decoder(decoder)
{
    if (socket)
        connect(socket, &QIODevice::readyRead, this, &VideoDemuxer::read);
}

VideoDemuxer::~VideoDemuxer()
{
    avcodec_free_context(&m_codecContext);
}

AVCodecContext *VideoDemuxer::codecContext() const
{
    return m_codecContext;
}

void VideoDemuxer::read()
{
    m_readScheduled = false;
    // While whole packets still wait here the socket keeps its bytes: its bounded buffer then
    // holds the phone back, instead of this buffer growing behind a slow decoder.
    if (m_socket && (!m_headerRead || !m_reader.hasPendingFrame()))
        m_reader.append(m_socket->readAll());
    const QPointer<VideoDemuxer> alive(this);
    if (!m_headerRead && !readHeader())
        return;
    if (!alive)
        return; // the session ended over the header
    if (m_rejected) {
        m_reader.clear();
        return;
    }

    int handedOn = 0;
    while (handedOn < m_maxPacketsPerRead) {
        FramedPacketReader::Frame frame;
        const auto result = m_reader.next(frame);
        if (result == FramedPacketReader::Result::NeedMore)
            break;
        if (result == FramedPacketReader::Result::Dropped)
            continue;
        AVPacket *packet = makePacket(frame);
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
    // Bytes already buffered (here or in the socket) raise no further readyRead: finish them
    // on a later turn of the loop.
    if (m_reader.hasPendingFrame() || (m_socket && m_socket->bytesAvailable() > 0))
        scheduleRead();
}

void VideoDemuxer::setMaxPacketsPerRead(int count)
{
    m_maxPacketsPerRead = qMax(1, count);
}

bool VideoDemuxer::readHeader()
{
    if (m_reader.size() < HeaderSize)
        return false;
    const char *header = m_reader.data();
    m_deviceName = QString::fromUtf8(header, qstrnlen(header, 64));
    m_codecId = QByteArray(header + 64, 4);
    m_width = qFromBigEndian<qint32>(header + 68);
    m_height = qFromBigEndian<qint32>(header + 72);
    m_reader.consume(HeaderSize);
    m_headerRead = true;
    if (m_codecId != QByteArrayLiteral("h264")) {
        m_rejected = true;
        m_reader.clear();
        emit unsupportedCodec(); // last: the receiver may delete us
        return true;
    }
    // Packets are framed and recorded even when the decoder does not open.
    openDecoder();
    return true;
}

void VideoDemuxer::openDecoder()
{
    const AVCodec *codec = avcodec_find_decoder_by_name("h264");
    if (!codec)
        return;
    // The GPU when asked for and present; a context it refuses opens again in software.
    if (!openContext(codec, true))
        openContext(codec, false);
}

bool VideoDemuxer::openContext(const AVCodec *codec, bool hardware)
{
    m_codecContext = avcodec_alloc_context3(codec);
    if (!m_codecContext)
        return false;
    m_codecContext->flags |= AV_CODEC_FLAG_LOW_DELAY;
    m_codecContext->width = m_width;
    m_codecContext->height = m_height;
    m_codecContext->flags2 |= AV_CODEC_FLAG2_FAST | AV_CODEC_FLAG2_CHUNKS;
    if (hardware && !HardwareDecoding::attach(m_codecContext, codec)) {
        avcodec_free_context(&m_codecContext);
        return false;
    }
    if (avcodec_open2(m_codecContext, codec, nullptr) < 0) {
        avcodec_free_context(&m_codecContext);
        return false;
    }
    return true;
}

AVPacket *VideoDemuxer::makePacket(const FramedPacketReader::Frame &frame) const
{
    const auto *payload = reinterpret_cast<const uchar *>(frame.payload);
    const bool prefix = needsStartCode(payload, frame.size);
    const int packetSize = int(frame.size) + (prefix ? 4 : 0);

    AVPacket *packet = av_packet_alloc();
    if (!packet)
        return nullptr;
    if (av_new_packet(packet, packetSize) < 0) {
        av_packet_free(&packet);
        return nullptr;
    }
    uint8_t *out = packet->data;
    if (prefix) {
        const uint8_t startCode[4] = {0, 0, 0, 1};
        std::memcpy(out, startCode, 4);
        out += 4;
    }
    std::memcpy(out, payload, frame.size);

    if (frame.ptsAndFlags & FramedPacketReader::ConfigFlag) {
        packet->pts = AV_NOPTS_VALUE;
        packet->dts = AV_NOPTS_VALUE;
    } else {
        const auto flagBits = FramedPacketReader::ConfigFlag | FramedPacketReader::KeyFrameFlag;
        packet->pts = qint64(frame.ptsAndFlags & ~flagBits);
        packet->dts = packet->pts;
    }
    if (frame.ptsAndFlags & FramedPacketReader::KeyFrameFlag)
        packet->flags |= AV_PKT_FLAG_KEY;
    return packet;
}

void VideoDemuxer::handOn(AVPacket *packet)
{
    if (m_recorder)
        m_recorder->pushVideoPacket(packet);
    if (m_decoder)
        m_decoder->decode(packet);
}

void VideoDemuxer::scheduleRead()
{
    if (m_readScheduled)
        return;
    m_readScheduled = true;
    QMetaObject::invokeMethod(this, &VideoDemuxer::read, Qt::QueuedConnection);
}

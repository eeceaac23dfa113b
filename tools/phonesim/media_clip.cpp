#include "media_clip.h"

#include "media_annexb.h"
#include "media_busyscreen.h"
#include "media_h264encoder.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

namespace {

constexpr char kStartCode[4] = {0, 0, 0, 1};
// Far above any clip worth looping; the stream is held in memory whole.
constexpr qint64 kMaxClipBytes = qint64(1) << 30;
constexpr int kNalDataPartitionA = 2;
constexpr int kNalDataPartitionC = 4;
constexpr quint32 kSliceTypeB = 1; // slice_type modulo 5

// The leading Exp-Golomb fields of a slice header, with emulation prevention bytes skipped.
class SliceHeaderReader
{
public:
    SliceHeaderReader(const char *data, int size) : m_data(data), m_size(size) {}

    bool ue(quint32 *value)
    {
        int zeros = 0;
        int bit = 0;
        while ((bit = readBit()) == 0) {
            if (++zeros > 31)
                return false;
        }
        if (bit < 0)
            return false;
        quint32 rest = 0;
        for (int i = 0; i < zeros; ++i) {
            if ((bit = readBit()) < 0)
                return false;
            rest = (rest << 1) | quint32(bit);
        }
        *value = quint32((quint64(1) << zeros) - 1 + rest);
        return true;
    }

private:
    int readBit()
    {
        if (m_bit == 0) {
            if (m_pos >= m_size)
                return -1;
            if (m_zeros >= 2 && m_data[m_pos] == 3) {
                m_zeros = 0;
                if (++m_pos >= m_size)
                    return -1;
            }
            m_byte = quint8(m_data[m_pos]);
            m_zeros = m_byte == 0 ? m_zeros + 1 : 0;
        }
        const int bit = (m_byte >> (7 - m_bit)) & 1;
        if (++m_bit == 8) {
            m_bit = 0;
            ++m_pos;
        }
        return bit;
    }

    const char *m_data;
    int m_size;
    int m_pos = 0;
    int m_bit = 0;
    int m_zeros = 0;
    quint8 m_byte = 0;
};

// Decodes the first frame alone: its picture size and the frame rate the SPS announces.
bool probeFirstFrame(const QByteArray &bytes, QSize *size, int *fps, QString *error)
{
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    struct Decoder
    {
        AVCodecContext *context = nullptr;
        AVPacket *packet = av_packet_alloc();
        AVFrame *frame = av_frame_alloc();
        ~Decoder()
        {
            av_frame_free(&frame);
            av_packet_free(&packet);
            avcodec_free_context(&context);
        }
    } d;
    d.context = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!d.context || !d.packet || !d.frame || avcodec_open2(d.context, codec, nullptr) < 0) {
        *error = QStringLiteral("no H.264 decoder to read the clip with");
        return false;
    }
    if (av_new_packet(d.packet, int(bytes.size())) < 0) {
        *error = QStringLiteral("out of memory");
        return false;
    }
    std::memcpy(d.packet->data, bytes.constData(), size_t(bytes.size()));
    const bool sent = avcodec_send_packet(d.context, d.packet) == 0;
    avcodec_send_packet(d.context, nullptr);
    if (!sent || avcodec_receive_frame(d.context, d.frame) != 0) {
        *error = QStringLiteral("the first frame does not decode");
        return false;
    }
    *size = QSize(d.frame->width, d.frame->height);
    const AVRational rate = d.context->framerate;
    if (rate.num > 0 && rate.den > 0)
        *fps = std::max(1, int(std::lround(double(rate.num) / rate.den)));
    return true;
}

} // namespace

QByteArray VideoClip::annexB() const
{
    QByteArray bytes;
    bytes.reserve(byteCount());
    bytes += parameterSets;
    for (const Frame &frame : frames)
        bytes += frame.data;
    return bytes;
}

qint64 VideoClip::byteCount() const
{
    qint64 count = parameterSets.size();
    for (const Frame &frame : frames)
        count += frame.data.size();
    return count;
}

double VideoClip::bitRate() const
{
    return frames.empty() ? 0 : double(byteCount()) * 8 * fps / double(frames.size());
}

std::optional<VideoClip> VideoClip::fromAnnexB(const QByteArray &stream, QString *error)
{
    QString ignored;
    QString &why = error ? *error : ignored;
    VideoClip clip;
    std::vector<QByteArray> openingSets;
    for (const AnnexB::NalUnit &unit : AnnexB::nalUnits(stream)) {
        const QByteArray nal(stream.constData() + unit.offset, unit.size);
        const QByteArray withStartCode = QByteArray(kStartCode, 4) + nal;
        if (AnnexB::isParameterSet(unit.type)) {
            if (clip.frames.empty()) {
                openingSets.push_back(nal);
                clip.parameterSets += withStartCode;
            } else if (std::find(openingSets.begin(), openingSets.end(), nal) ==
                       openingSets.end()) {
                // The phone sends parameter sets once; a clip that changes them cannot loop.
                why = QStringLiteral("the parameter sets change after the first frame");
                return std::nullopt;
            }
            continue;
        }
        if (!AnnexB::isSlice(unit.type))
            continue;
        if (unit.type >= kNalDataPartitionA && unit.type <= kNalDataPartitionC) {
            why = QStringLiteral("the clip uses data partitioning");
            return std::nullopt;
        }
        SliceHeaderReader header(nal.constData() + 1, int(nal.size()) - 1);
        quint32 firstMacroblock = 0, sliceType = 0;
        if (!header.ue(&firstMacroblock) || !header.ue(&sliceType) || sliceType > 9) {
            why = QStringLiteral("a slice header cannot be read");
            return std::nullopt;
        }
        if (sliceType % 5 == kSliceTypeB) {
            why = QStringLiteral("the clip has B-frames, which a phone never sends");
            return std::nullopt;
        }
        if (firstMacroblock == 0)
            clip.frames.emplace_back();
        else if (clip.frames.empty()) {
            why = QStringLiteral("the stream starts in the middle of a frame");
            return std::nullopt;
        }
        clip.frames.back().data += withStartCode;
        if (unit.type == AnnexB::IdrSlice)
            clip.frames.back().keyFrame = true;
    }
    if (clip.frames.empty()) {
        why = QStringLiteral("no H.264 frames found");
        return std::nullopt;
    }
    const QList<int> setTypes = [&] {
        QList<int> types;
        for (const AnnexB::NalUnit &unit : AnnexB::nalUnits(clip.parameterSets))
            types << unit.type;
        return types;
    }();
    if (!setTypes.contains(AnnexB::Sps) || !setTypes.contains(AnnexB::Pps)) {
        why = QStringLiteral("no SPS and PPS before the first frame");
        return std::nullopt;
    }
    if (!clip.frames.front().keyFrame) {
        why = QStringLiteral("the first frame is not an IDR");
        return std::nullopt;
    }
    if (!probeFirstFrame(clip.parameterSets + clip.frames.front().data, &clip.size, &clip.fps,
                         &why))
        return std::nullopt;
    return clip;
}

std::optional<VideoClip> VideoClip::load(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    if (file.size() > kMaxClipBytes) {
        if (error)
            *error = QStringLiteral("%1 is larger than 1 GiB").arg(path);
        return std::nullopt;
    }
    std::optional<VideoClip> clip = fromAnnexB(file.readAll(), error);
    if (!clip && error)
        *error = QStringLiteral("%1: %2").arg(path, *error);
    return clip;
}

std::optional<VideoClip> makeBusyClip(const BusyClipSettings &settings, QString *error)
{
    QString ignored;
    QString &why = error ? *error : ignored;
    const QSize size = settings.size;
    if (size.width() < 16 || size.height() < 16 || size.width() % 8 || size.height() % 8) {
        why = QStringLiteral("the size must be at least 16x16 and a multiple of 8 both ways");
        return std::nullopt;
    }
    if (settings.fps < 1 || settings.bitRate < 1 || settings.frames < 1 ||
        settings.keyFrameInterval < 1) {
        why =
            QStringLiteral("frame rate, bit rate, length and key frame interval must be positive");
        return std::nullopt;
    }
    H264Encoder encoder(
        {size, settings.fps, settings.bitRate, std::max(1, settings.keyFrameInterval)});
    if (!encoder.isOpen()) {
        why = QStringLiteral("libx264 cannot be opened");
        return std::nullopt;
    }
    VideoClip clip;
    clip.size = size;
    clip.fps = settings.fps;
    clip.parameterSets = encoder.parameterSets();
    clip.frames.reserve(size_t(settings.frames));
    for (int i = 0; i < settings.frames; ++i) {
        const PlanarImage picture = encoder.picture();
        BusyScreen::paint(picture, i, settings.fps);
        const bool wantKey = i % settings.keyFrameInterval == 0;
        VideoClip::Frame frame;
        if (!picture.planes[0] || !encoder.encode(wantKey, &frame.data, &frame.keyFrame) ||
            frame.keyFrame != wantKey) {
            why = QStringLiteral("libx264 failed at frame %1").arg(i);
            return std::nullopt;
        }
        clip.frames.push_back(std::move(frame));
    }
    return clip;
}

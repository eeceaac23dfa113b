#include "h264sps.h"

#include <QList>

namespace H264 {
namespace {
// Reads the exp-Golomb coded fields of an H.264 parameter set (emulation bytes removed).
class BitReader
{
public:
    explicit BitReader(QByteArray rbsp) : m_data(std::move(rbsp)) {}

    bool failed() const { return m_failed; }
    quint32 bits(int count)
    {
        quint32 value = 0;
        for (int i = 0; i < count; ++i)
            value = (value << 1) | bit();
        return value;
    }
    quint32 bit()
    {
        if (m_position >= qint64(m_data.size()) * 8) {
            m_failed = true;
            return 0;
        }
        const quint8 byte = quint8(m_data[int(m_position / 8)]);
        return (byte >> (7 - m_position++ % 8)) & 1;
    }
    quint32 ue()
    {
        int zeros = 0;
        while (!m_failed && bit() == 0) {
            if (++zeros > 31) {
                m_failed = true;
                return 0;
            }
        }
        return zeros == 0 ? 0 : ((1u << zeros) - 1) + bits(zeros);
    }
    qint32 se()
    {
        const quint32 code = ue();
        return code & 1 ? qint32((code + 1) / 2) : -qint32(code / 2);
    }

private:
    QByteArray m_data;
    qint64 m_position = 0;
    bool m_failed = false;
};

// The first sequence parameter set of an Annex B block, without emulation prevention bytes.
QByteArray firstSps(const QByteArray &annexB)
{
    int start = 0;
    while ((start = annexB.indexOf(QByteArray("\x00\x00\x01", 3), start)) >= 0) {
        start += 3;
        if (start >= annexB.size() || (quint8(annexB[start]) & 0x1f) != 7)
            continue;
        int end = annexB.indexOf(QByteArray("\x00\x00\x01", 3), start);
        if (end < 0)
            end = annexB.size();
        QByteArray rbsp;
        int zeros = 0;
        for (int i = start + 1; i < end; ++i) {
            const char c = annexB[i];
            if (zeros >= 2 && c == 3) {
                zeros = 0;
                continue;
            }
            zeros = c == 0 ? zeros + 1 : 0;
            rbsp += c;
        }
        return rbsp;
    }
    return {};
}

void skipScalingList(BitReader &reader, int size)
{
    int last = 8;
    int next = 8;
    for (int i = 0; i < size && !reader.failed(); ++i) {
        if (next != 0)
            next = (last + reader.se() + 256) % 256;
        last = next == 0 ? last : next;
    }
}
} // namespace

QSize pictureSizeFromConfig(const QByteArray &config)
{
    const QByteArray sps = firstSps(config);
    if (sps.isEmpty())
        return {};
    BitReader r(sps);
    const quint32 profile = r.bits(8);
    r.bits(16); // constraint flags, level
    r.ue();     // parameter set id
    quint32 chromaFormat = 1;
    bool separateColourPlanes = false;
    static const QList<quint32> highProfiles{100, 110, 122, 244, 44,  83, 86,
                                             118, 128, 138, 139, 134, 135};
    if (highProfiles.contains(profile)) {
        chromaFormat = r.ue();
        if (chromaFormat == 3)
            separateColourPlanes = r.bit();
        r.ue(); // luma bit depth
        r.ue(); // chroma bit depth
        r.bit();
        if (r.bit()) { // scaling matrices present
            const int lists = chromaFormat == 3 ? 12 : 8;
            for (int i = 0; i < lists; ++i)
                if (r.bit())
                    skipScalingList(r, i < 6 ? 16 : 64);
        }
    }
    r.ue(); // log2 of the largest frame number
    const quint32 pocType = r.ue();
    if (pocType == 0) {
        r.ue();
    } else if (pocType == 1) {
        r.bit();
        r.se();
        r.se();
        const quint32 cycle = r.ue();
        for (quint32 i = 0; i < cycle && !r.failed(); ++i)
            r.se();
    }
    r.ue(); // reference frames
    r.bit();
    const quint32 widthInMbs = r.ue() + 1;
    const quint32 heightInMapUnits = r.ue() + 1;
    const quint32 frameMbsOnly = r.bit();
    if (!frameMbsOnly)
        r.bit();
    r.bit();
    quint32 cropLeft = 0, cropRight = 0, cropTop = 0, cropBottom = 0;
    if (r.bit()) {
        cropLeft = r.ue();
        cropRight = r.ue();
        cropTop = r.ue();
        cropBottom = r.ue();
    }
    if (r.failed())
        return {};
    const bool monochrome = chromaFormat == 0 || separateColourPlanes;
    const quint32 cropUnitX = monochrome || chromaFormat == 3 ? 1 : 2;
    const quint32 cropUnitY = (monochrome || chromaFormat != 1 ? 1 : 2) * (2 - frameMbsOnly);
    const qint64 width = qint64(widthInMbs) * 16 - qint64(cropUnitX) * (cropLeft + cropRight);
    const qint64 height = qint64(heightInMapUnits) * 16 * (2 - frameMbsOnly) -
                          qint64(cropUnitY) * (cropTop + cropBottom);
    if (width < 1 || height < 1 || width > 16384 || height > 16384)
        return {};
    return QSize(int(width), int(height));
}
} // namespace H264

#include "media_annexb.h"

namespace AnnexB {

namespace {

// Offset just past the next start code at or after from, or -1.
int nextPayloadStart(const QByteArray &s, int from, int *startCodeAt)
{
    const int n = int(s.size());
    for (int i = from; i + 2 < n; ++i) {
        if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1) {
            *startCodeAt = (i > from && s[i - 1] == 0) ? i - 1 : i;
            return i + 3;
        }
    }
    return -1;
}

} // namespace

std::vector<NalUnit> nalUnits(const QByteArray &stream)
{
    std::vector<NalUnit> units;
    int startCode = 0;
    int payload = nextPayloadStart(stream, 0, &startCode);
    while (payload >= 0 && payload < stream.size()) {
        int nextStartCode = int(stream.size());
        const int nextPayload = nextPayloadStart(stream, payload, &nextStartCode);
        NalUnit unit;
        unit.offset = payload;
        unit.size = (nextPayload >= 0 ? nextStartCode : int(stream.size())) - payload;
        unit.type = uchar(stream[payload]) & 0x1f;
        if (unit.size > 0)
            units.push_back(unit);
        payload = nextPayload;
    }
    return units;
}

QByteArray filtered(const QByteArray &stream, bool (*keep)(int type))
{
    static const char startCode[4] = {0, 0, 0, 1};
    QByteArray out;
    out.reserve(stream.size());
    for (const NalUnit &unit : nalUnits(stream)) {
        if (!keep(unit.type))
            continue;
        out.append(startCode, 4);
        out.append(stream.constData() + unit.offset, unit.size);
    }
    return out;
}

} // namespace AnnexB

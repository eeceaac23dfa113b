#pragma once

#include <QByteArray>

#include <vector>

// Annex B byte streams: NAL units separated by 00 00 01 / 00 00 00 01 start codes.
namespace AnnexB {

enum NalType { Slice = 1, IdrSlice = 5, Sei = 6, Sps = 7, Pps = 8 };

struct NalUnit
{
    int offset = 0; // of the NAL header byte, just after the start code
    int size = 0;
    int type = 0;
};

std::vector<NalUnit> nalUnits(const QByteArray &stream);

inline bool isSlice(int type)
{
    return type >= Slice && type <= IdrSlice;
}
inline bool isParameterSet(int type)
{
    return type == Sps || type == Pps;
}

// The NAL units for which keep(type) holds, each behind a 4-byte start code.
QByteArray filtered(const QByteArray &stream, bool (*keep)(int type));

} // namespace AnnexB

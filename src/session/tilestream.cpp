#include "tilestream.h"

#include <QtGlobal>

#include <cmath>

int TileStream::maxSize(QSizeF tilePixels, QSize frame, int groupMaxSize)
{
    double longSide = qMax(tilePixels.width(), tilePixels.height());
    if (frame.width() > 0 && frame.height() > 0) {
        const double scale =
            qMin(tilePixels.width() / frame.width(), tilePixels.height() / frame.height());
        longSide = scale * qMax(frame.width(), frame.height());
    }
    const int rounded = int(std::ceil(longSide / 16.0 - 1e-9)) * 16; // 320.0000001 is 320
    if (groupMaxSize <= 0)
        return qMax(MinSize, rounded); // the group sets no limit
    return qBound(qMin(MinSize, groupMaxSize), rounded, groupMaxSize);
}

int TileStream::bitRate(int maxSize, int groupMaxSize, int groupBitRate)
{
    if (groupMaxSize <= 0 || maxSize >= groupMaxSize)
        return groupBitRate;
    const double share = double(maxSize) * maxSize / (double(groupMaxSize) * groupMaxSize);
    return qBound(qMin(MinBitRate, groupBitRate), int(groupBitRate * share), groupBitRate);
}

bool TileStream::worthRestart(int oldSize, int newSize)
{
    return std::abs(newSize - oldSize) * 4 > oldSize;
}

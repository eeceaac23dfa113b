#include "media_videosize.h"

#include <algorithm>

QSize encodedVideoSize(const QSize &physicalSize, int maxSize)
{
    if (physicalSize.width() <= 0 || physicalSize.height() <= 0)
        return {};
    const bool portrait = physicalSize.height() >= physicalSize.width();
    const qint64 longSide = std::max(physicalSize.width(), physicalSize.height());
    const qint64 shortSide = std::min(physicalSize.width(), physicalSize.height());
    auto align = [](qint64 v) { return std::max<qint64>(16, v & ~qint64(7)); };
    qint64 newLong = align(longSide);
    qint64 newShort = align(shortSide);
    if (maxSize > 0 && longSide > maxSize) {
        newLong = align(maxSize);
        newShort = align(shortSide * newLong / longSide);
    }
    return portrait ? QSize(int(newShort), int(newLong)) : QSize(int(newLong), int(newShort));
}

#pragma once
// A small view's stream sized to its tile: no more pixels than the tile can show.
#include <QSize>
#include <QSizeF>

namespace TileStream {
// The stream's longer side for a tile of `tilePixels` (device pixels) showing a phone
// picture of `frame` (invalid while unknown): the longer side of the picture fitted into the
// tile, rounded up to a multiple of 16, within [MinSize, groupMaxSize].
constexpr int MinSize = 128;
int maxSize(QSizeF tilePixels, QSize frame, int groupMaxSize);
// The bit rate for that size: the group's rate scaled by the share of pixels, never more than
// the group's rate nor less than MinBitRate.
constexpr int MinBitRate = 200000;
int bitRate(int maxSize, int groupMaxSize, int groupBitRate);
// A new size worth a restart of the stream: it moves the old one by more than a quarter.
bool worthRestart(int oldSize, int newSize);
} // namespace TileStream

#pragma once
// Reads the picture size from an H.264 sequence parameter set. FFmpeg's public API gives
// the size only once a slice is parsed, and a config packet carries no slice.
#include <QByteArray>
#include <QSize>

namespace H264 {
// Picture size announced by the first sequence parameter set of an Annex B block;
// invalid when there is none or it cannot be read.
QSize pictureSizeFromConfig(const QByteArray &config);
} // namespace H264

#pragma once

#include <QSize>

// The size a phone's encoder would use for a screen of physicalSize: the longest side at most
// maxSize (0: no limit) with the aspect kept, both sides rounded down to multiples of 8, and
// never below 16 (the smallest picture the encoder takes). Invalid input gives an invalid size.
QSize encodedVideoSize(const QSize &physicalSize, int maxSize);

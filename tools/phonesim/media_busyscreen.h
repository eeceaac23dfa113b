#pragma once

#include "screenpainter.h"

// A screen that keeps an encoder as busy as a person scrolling a feed on a real phone: a page
// of text lines and photo cards scrolls under fixed status and navigation bars, the photos'
// colours drift, one card plays "video" (new grain every frame) and a ball crosses everything.
// The virtual phone's own screen is nearly static and costs a few dozen kbit/s; this one
// spends whatever bit rate the encoder is given.
namespace BusyScreen {

// Paints frame frameNumber of a stream at fps frames per second (motion is per second, so
// clips of different rates show the same scene).
void paint(const PlanarImage &image, qint64 frameNumber, int fps);

} // namespace BusyScreen

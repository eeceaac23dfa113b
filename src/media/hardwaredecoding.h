#pragma once
// Decoding on the GPU through FFmpeg's hwaccel API: VideoToolbox on macOS, VA-API on Linux.
// Chosen at run time: only when PARVIX_HW_DECODE asks for it ("1", "on" or "auto") and the
// platform's device opens; otherwise, and after the first failure to open it, the software
// decoder runs. Hardware frames are copied back to system memory and made planar YUV420P,
// the one layout the video item, screenshots and the frame signals carry: converting the
// chroma plane costs a fraction of what a software decode would, and a second shader path
// for NV12 could not be tested where no such device exists.
#include <QByteArray>

struct AVCodec;
struct AVCodecContext;
struct AVFrame;
struct SwsContext;

namespace HardwareDecoding {

// Name of the platform's hwaccel device type ("videotoolbox", "vaapi"), empty when none.
QByteArray platformDeviceName();
// What the environment asks for, read at each call.
bool requested();

// Before avcodec_open2: gives the context a hardware device and a format choice that takes
// the hardware format when offered and a software one otherwise. False, with the context
// untouched, when hardware decoding is not asked for, not possible for the codec, or the
// device does not open.
bool attach(AVCodecContext *context, const AVCodec *codec);

// The frame's pixels live in GPU memory.
bool isHardwareFrame(const AVFrame *frame);

// A new frame in system memory as planar YUV420P, with the source's timestamps and colour
// properties; null on failure. `converter` caches the chroma conversion between calls and is
// freed by the caller with sws_freeContext.
AVFrame *download(const AVFrame *frame, SwsContext **converter);

// Planar YUV420P copy of a 4:2:0 frame in another layout (NV12 from the hardware); null when
// it cannot be converted. A planar frame comes back as a new reference.
AVFrame *toPlanar(const AVFrame *frame, SwsContext **converter);

} // namespace HardwareDecoding

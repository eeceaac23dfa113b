#pragma once
// One YUV420P picture as the video item draws it. The planes are either FFmpeg's own
// buffers, shared by reference (no copy), or a packed copy; `storage` keeps them alive
// for as long as any holder of the frame needs them, on any thread.
#include <cstdint>
#include <memory>

struct AVFrame;

struct YuvFrame
{
    enum Plane { PlaneY, PlaneU, PlaneV, PlaneCount };

    // Larger than any phone screen and than the texture limit of common GPUs;
    // anything beyond is treated as a corrupt size rather than allocated.
    static constexpr int kMaxDimension = 16384;

    int width = 0;
    int height = 0;
    const uint8_t *planes[PlaneCount] = {nullptr, nullptr, nullptr};
    int strides[PlaneCount] = {0, 0, 0}; // positive: rows top to bottom
    std::shared_ptr<const void> storage;
    // Presentation time the phone stamped on the frame (microseconds); -1 when unknown.
    int64_t pts = -1;

    bool isValid() const { return width >= 1 && height >= 1 && planes[PlaneY]; }
    int planeWidth(int plane) const { return plane == PlaneY ? width : chromaWidth(width); }
    int planeHeight(int plane) const { return plane == PlaneY ? height : chromaHeight(height); }

    static int chromaWidth(int width) { return (width + 1) / 2; }
    static int chromaHeight(int height) { return (height + 1) / 2; }

    // Copies the planes row by row, dropping any padding. A stride may be
    // negative (bottom-up rows) but never shorter than the row it steps over.
    // Returns an invalid frame when the arguments do not describe a picture.
    static YuvFrame copyPacked(int width, int height, const uint8_t *yData, int yStride,
                               const uint8_t *uData, int uStride, const uint8_t *vData,
                               int vStride);

    // Takes a new reference to a decoded YUV420P (or full-range YUVJ420P) frame's buffers;
    // no pixel is copied. Other formats, reference-less frames and bottom-up frames are
    // copied instead.
    static YuvFrame share(const AVFrame *frame);
};

#pragma once

#include "screenpainter.h"

#include <QByteArray>
#include <QSize>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

// libx264 set up the way a phone's hardware encoder behaves: low latency, no B-frames, one
// thread, parameter sets out of band, rare key frames unless asked for.
class H264Encoder
{
public:
    struct Settings
    {
        QSize size; // multiples of 8
        int fps = 60;
        int bitRate = 8000000;
        int gopFrames = 600;
    };

    explicit H264Encoder(const Settings &settings);
    ~H264Encoder();
    H264Encoder(const H264Encoder &) = delete;
    H264Encoder &operator=(const H264Encoder &) = delete;

    bool isOpen() const { return m_context != nullptr; }
    QSize size() const { return m_settings.size; }
    // SPS and PPS in Annex B form.
    QByteArray parameterSets() const { return m_parameterSets; }

    // The input picture, reused from frame to frame; paint it, then call encode().
    PlanarImage picture();
    // One access unit (slices only) for the current picture; forceKey asks for an IDR.
    bool encode(bool forceKey, QByteArray *accessUnit, bool *keyFrame);

private:
    bool open();

    Settings m_settings;
    AVCodecContext *m_context = nullptr;
    AVFrame *m_frame = nullptr;
    AVPacket *m_packet = nullptr;
    QByteArray m_parameterSets;
    qint64 m_frameCount = 0;
};

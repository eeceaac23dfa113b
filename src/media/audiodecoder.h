#pragma once
#include <QObject>

struct AVFrame;
struct AVPacket;
class AudioDemuxer;

// Decodes the phone's Opus packets with the context the audio demuxer opened.
class AudioDecoder : public QObject
{
    Q_OBJECT

public:
    explicit AudioDecoder(QObject *parent = nullptr);
    ~AudioDecoder() override;

    void setDemuxer(AudioDemuxer *demuxer);
    void decode(AVPacket *packet);

signals:
    // The frame is emptied right after the emission: receivers copy what they keep.
    void frameDecoded(AVFrame *frame);

private:
    void drain();

    AVFrame *m_frame = nullptr;
    AudioDemuxer *m_demuxer = nullptr;
};

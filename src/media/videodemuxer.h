#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QIODevice;
class MediaRecorder;
class VideoDecoder;
struct AVCodecContext;
struct AVPacket;

// Splits the video connection into H.264 packets: the 76-byte stream header once,
// then 12-byte framed packets, each handed to the recorder and then to the decoder.
// Owns the decoder context opened from the stream header.
class VideoDemuxer : public QObject
{
    Q_OBJECT

public:
    static constexpr int HeaderSize = 76;
    static constexpr int FrameHeaderSize = 12;
    static constexpr quint32 MaxPayloadSize = 0x800000;
    static constexpr int MaxPacketsPerRead = 200;

    VideoDemuxer(QIODevice *socket, MediaRecorder *recorder, VideoDecoder *decoder,
                 QObject *parent = nullptr);
    ~VideoDemuxer() override;

    // The opened decoder context; null before the header or when the codec did not open.
    AVCodecContext *codecContext() const;

    bool isHeaderRead() const { return m_headerRead; }
    QString deviceName() const { return m_deviceName; }
    QByteArray codecId() const { return m_codecId; }
    int width() const { return m_width; }
    int height() const { return m_height; }

public slots:
    void read();

protected:
    // Where every packet goes; the packet is released once this returns.
    virtual void handOn(AVPacket *packet);

private:
    bool readHeader();
    void openDecoder();
    void scheduleRead();

    QIODevice *m_socket = nullptr;
    bool m_headerRead = false;
    QByteArray m_buffer;
    AVCodecContext *m_codecContext = nullptr;
    MediaRecorder *m_recorder = nullptr;
    VideoDecoder *m_decoder = nullptr;
    QString m_deviceName;
    QByteArray m_codecId;
    qint32 m_width = 0;
    qint32 m_height = 0;
    bool m_readScheduled = false;
};

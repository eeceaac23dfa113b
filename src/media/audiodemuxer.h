#pragma once

#include "videodemuxer.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QIODevice;
class MediaRecorder;
class AudioDecoder;
struct AVCodecContext;
struct AVPacket;

// Splits the audio connection into Opus packets. The connection starts with the
// 64-byte device-name field (only when it is the session's first connection, i.e.
// nameFieldFirst) and the 4-byte codec id; then framed packets follow. The codec id is
// "opus", or 0 (no sound on this phone) or 1 (the phone's sound set-up failed);
// anything else is refused.
class AudioDemuxer : public QObject
{
    Q_OBJECT

public:
    static constexpr int NameFieldSize = 64;
    static constexpr int CodecIdSize = 4;
    static constexpr quint32 MaxPayloadSize = 0x100000;
    static constexpr int MaxPacketsPerRead = 50;

    AudioDemuxer(QIODevice *socket, MediaRecorder *recorder, AudioDecoder *decoder,
                 bool nameFieldFirst, QObject *parent = nullptr);
    ~AudioDemuxer() override;

    // The opened Opus context; null before the header, when the phone sends no sound
    // or when the decoder could not be opened. Replaced when the stream's Opus header comes.
    AVCodecContext *codecContext() const;

    bool isHeaderRead() const { return m_headerRead; }
    QString deviceName() const { return m_deviceName; }
    QByteArray codecId() const { return m_codecId; }

    // Name of the decoder opened for the phone's sound ("opus"); tests name a missing one.
    static void setDecoderNameForTesting(const QByteArray &name);

public slots:
    void read();

signals:
    // The phone cannot capture sound (codec id 0); nothing more arrives on this connection.
    void audioUnavailable();
    // The Opus decoder could not be found or opened; the session goes on without sound.
    void audioDecoderFailed();
    // The header named a codec other than Opus; nothing of this connection is handed on.
    // Receivers may delete the demuxer.
    void unsupportedCodec();

protected:
    // Where every packet goes; the packet is released once this returns.
    virtual void handOn(AVPacket *packet);

private:
    bool readHeader();
    void openDecoder();
    // Reopens the decoder with the stream's Opus header as its extradata.
    void configureDecoder(const AVPacket *config);
    void scheduleRead();

    QPointer<QIODevice> m_socket;
    bool m_headerRead = false;
    bool m_nameFieldFirst = false;
    bool m_streamEnded = false; // no sound on this connection: later bytes are ignored
    FramedPacketReader m_reader{MaxPayloadSize};
    AVCodecContext *m_codecContext = nullptr;
    QPointer<MediaRecorder> m_recorder;
    QPointer<AudioDecoder> m_decoder;
    QString m_deviceName;
    QByteArray m_codecId;
    bool m_readScheduled = false;
};

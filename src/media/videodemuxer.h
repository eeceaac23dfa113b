#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QObject>
#include <QPointer>
#include <QString>

class QIODevice;
class MediaRecorder;
class VideoDecoder;
struct AVCodec;
struct AVCodecContext;
struct AVPacket;

// Bytes of one media connection and the 12-byte frame header that precedes every
// packet on it (shared by the video and the audio connection).
class FramedPacketReader
{
public:
    static constexpr int FrameHeaderSize = 12;
    static constexpr quint64 ConfigFlag = quint64(1) << 63;
    static constexpr quint64 KeyFrameFlag = quint64(1) << 62;

    struct Frame
    {
        quint64 ptsAndFlags = 0;
        const char *payload = nullptr; // valid until the next call that changes the buffer
        quint32 size = 0;
    };
    enum class Result { NeedMore, Dropped, Ready };

    explicit FramedPacketReader(quint32 maxPayloadSize) : m_maxPayloadSize(maxPayloadSize) {}

    void append(const QByteArray &bytes);
    const char *data() const { return m_buffer.constData() + m_offset; }
    qsizetype size() const { return m_buffer.size() - m_offset; }
    void consume(qsizetype count);
    void clear();

    // Looks at the next frame. A header whose size is out of range is dropped (12 bytes)
    // and parsing goes on with the byte after it. A ready frame is consumed by the caller.
    Result next(Frame &frame);
    // A call to next() would not need more bytes.
    bool hasPendingFrame() const;

private:
    QByteArray m_buffer;
    qsizetype m_offset = 0; // consumed bytes at the front of m_buffer
    quint32 m_maxPayloadSize = 0;
};

// Splits the video connection into H.264 packets: the 76-byte stream header once,
// then framed packets, each handed to the recorder and then to the decoder.
// Owns the decoder context opened from the stream header. Only H.264 is taken: the
// phone's codec id never chooses which decoder runs on its bytes.
class VideoDemuxer : public QObject
{
    Q_OBJECT

public:
    static constexpr int HeaderSize = 76;
    static constexpr quint32 MaxPayloadSize = 0x800000;
    static constexpr int MaxPacketsPerRead = 200;

    VideoDemuxer(QIODevice *socket, MediaRecorder *recorder, VideoDecoder *decoder,
                 QObject *parent = nullptr);
    ~VideoDemuxer() override;

    // The opened decoder context; null before the header or when the codec did not open.
    AVCodecContext *codecContext() const;

    // Packets handed on per call of read() before the rest waits for the next turn of the
    // event loop (MaxPacketsPerRead unless set). A thread serving several phones takes few,
    // so that one phone's backlog does not hold up the others.
    void setMaxPacketsPerRead(int count);
    int maxPacketsPerRead() const { return m_maxPacketsPerRead; }

    bool isHeaderRead() const { return m_headerRead; }
    QString deviceName() const { return m_deviceName; }
    QByteArray codecId() const { return m_codecId; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    // Bytes read from the connection and not handed on yet.
    qint64 bufferedBytes() const { return m_reader.size(); }
    QIODevice *socket() const { return m_socket; }

public slots:
    void read();

signals:
    // The header named a codec other than H.264; nothing of this connection is handed on.
    // Receivers may delete the demuxer.
    void unsupportedCodec();

protected:
    // Where every packet goes; the packet is released once this returns.
    virtual void handOn(AVPacket *packet);

private:
    bool readHeader();
    void openDecoder();
    bool openContext(const AVCodec *codec, bool hardware);
    AVPacket *makePacket(const FramedPacketReader::Frame &frame) const;
    void scheduleRead();

    QPointer<QIODevice> m_socket;
    bool m_headerRead = false;
    bool m_rejected = false; // unsupported codec: later bytes are ignored
    FramedPacketReader m_reader{MaxPayloadSize};
    AVCodecContext *m_codecContext = nullptr;
    QPointer<MediaRecorder> m_recorder;
    QPointer<VideoDecoder> m_decoder;
    QString m_deviceName;
    QByteArray m_codecId;
    qint32 m_width = 0;
    qint32 m_height = 0;
    bool m_readScheduled = false;
    int m_maxPacketsPerRead = MaxPacketsPerRead;
};

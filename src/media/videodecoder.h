#pragma once

#include <QFuture>
#include <QMutex>
#include <QObject>
#include <QSize>
#include <QString>

#include <memory>

class VideoDemuxer;
class QImage;
struct AVFrame;
struct AVPacket;
struct SwsContext;

// Turns decoded frames into RGB888 images for screenshots. Keeps its scaler context
// between calls and remakes it only when the frame geometry or format changes.
class ScreenshotConverter
{
public:
    static constexpr int MaxWidth = 1920;

    ScreenshotConverter() = default;
    ~ScreenshotConverter();
    ScreenshotConverter(const ScreenshotConverter &) = delete;
    ScreenshotConverter &operator=(const ScreenshotConverter &) = delete;

    // Frames wider than 1920 pixels are narrowed to 1920; the height is rounded to the
    // nearest row so the aspect ratio stays as close as it can.
    static QSize targetSize(const QSize &frameSize);
    // Null image when the frame has no size or the scaler cannot be made.
    QImage convert(const AVFrame *frame);

    // Runs a ready scaler into a new RGB888 image of `size`. swscale's SIMD writers store
    // whole blocks past the end of a row, so the image gets its own padded buffer.
    static QImage scaleToRgb888(SwsContext *context, const AVFrame *frame, const QSize &size);

private:
    QMutex m_mutex;
    SwsContext *m_context = nullptr;
    int m_sourceWidth = 0;
    int m_sourceHeight = 0;
    int m_sourceFormat = -1;
    int m_targetWidth = 0;
    int m_targetHeight = 0;
};

// Decodes one device's H.264 packets, announces every frame and keeps a reference
// to the latest one so a screenshot can be written at any moment.
class VideoDecoder : public QObject
{
    Q_OBJECT

public:
    static constexpr int JpegQuality = 85;

    // serial: the phone's, for screenshot file names.
    explicit VideoDecoder(const QString &serial, QObject *parent = nullptr);
    ~VideoDecoder() override;

    void setDemuxer(VideoDemuxer *demuxer);
    void decode(AVPacket *packet);

    // Writes the latest frame as a JPEG on the global thread pool; the future holds an empty
    // text when a file was written, else the failure to show (at once when no frame was
    // decoded yet). The task owns what it uses, so the decoder may go away while it runs.
    // Any thread: decoding may go on meanwhile on the decoder's own.
    QFuture<QString> takeScreenshot();

    // "<serial>_<yyyyMMdd_hhmmss>_<1000..9998>.jpg"
    static QString screenshotFileName(const QString &serial);

signals:
    // Valid only during the emission; connect directly and copy what you keep. Emitted on
    // the decoder's thread, always in system memory (hardware frames are copied back).
    void frameDecoded(AVFrame *frame);

private:
    bool drain(); // false when this decoder was destroyed meanwhile
    void keepLastFrame(const AVFrame *frame);

    AVFrame *m_frame = nullptr;
    QString m_serial;
    VideoDemuxer *m_demuxer = nullptr;
    // Shared with running screenshot tasks so the decoder may go away while one runs.
    std::shared_ptr<ScreenshotConverter> m_converter;
    QMutex m_lastFrameMutex; // screenshots are asked for from another thread
    AVFrame *m_lastFrame = nullptr;
    SwsContext *m_downloadConverter = nullptr; // hardware frames to planar YUV420P
};

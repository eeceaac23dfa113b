#include "videodecoder.h"

#include "appconfig.h"
#include "filenames.h"
#include "hardwaredecoding.h"
#include "videodemuxer.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFuture>
#include <QFutureInterface>
#include <QImage>
#include <QImageWriter>
#include <QPointer>
#include <QRandomGenerator>
#include <QRunnable>
#include <QThreadPool>

#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

ScreenshotConverter::~ScreenshotConverter()
{
    sws_freeContext(m_context);
}

QSize ScreenshotConverter::targetSize(const QSize &frameSize)
{
    if (frameSize.width() <= MaxWidth)
        return frameSize;
    const qint64 width = frameSize.width();
    const qint64 height = (qint64(frameSize.height()) * MaxWidth * 2 + width) / (width * 2);
    return QSize(MaxWidth, int(qMax<qint64>(1, height)));
}

QImage ScreenshotConverter::scaleToRgb888(SwsContext *context, const AVFrame *frame,
                                          const QSize &size)
{
    if (!context || !frame || size.isEmpty())
        return {};
    // Rows on a 64-byte boundary, and one spare row plus a block after the last one.
    constexpr qint64 Align = 64;
    const qint64 stride = (qint64(size.width()) * 3 + Align - 1) / Align * Align;
    const qint64 bytes = stride * (size.height() + 1) + Align;
    if (stride > std::numeric_limits<int>::max() || bytes > std::numeric_limits<int>::max())
        return {};
    auto *buffer = static_cast<uint8_t *>(av_malloc(size_t(bytes)));
    if (!buffer)
        return {};
    QImage image(buffer, size.width(), size.height(), stride, QImage::Format_RGB888, av_free,
                 buffer);
    if (image.isNull()) {
        av_free(buffer);
        return {};
    }
    uint8_t *const destination[4] = {buffer, nullptr, nullptr, nullptr};
    const int destinationStride[4] = {int(stride), 0, 0, 0};
    sws_scale(context, frame->data, frame->linesize, 0, frame->height, destination,
              destinationStride);
    return image;
}

QImage ScreenshotConverter::convert(const AVFrame *frame)
{
    if (!frame || frame->width < 1 || frame->height < 1)
        return {};
    const QSize target = targetSize(QSize(frame->width, frame->height));

    QMutexLocker lock(&m_mutex);
    if (!m_context || m_sourceWidth != frame->width || m_sourceHeight != frame->height ||
        m_sourceFormat != frame->format || m_targetWidth != target.width() ||
        m_targetHeight != target.height()) {
        sws_freeContext(m_context);
        m_context = sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format),
                                   target.width(), target.height(), AV_PIX_FMT_RGB24,
                                   SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
        if (!m_context)
            return {};
        m_sourceWidth = frame->width;
        m_sourceHeight = frame->height;
        m_sourceFormat = frame->format;
        m_targetWidth = target.width();
        m_targetHeight = target.height();
    }
    return scaleToRgb888(m_context, frame, target);
}

namespace {
// Read once per process: a changed setting takes effect after a restart.
QString screenshotFolder()
{
    static const QString folder = AppConfig::instance()->getScreenshotSavePath() + "/";
    return folder;
}

QString failed()
{
    return VideoDecoder::tr("Screenshot Failed");
}

// Made again whenever it is missing (the user may delete it at any time); the system's
// reason when that is impossible.
QString ensureScreenshotFolder(const QString &folder)
{
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
    if (!error)
        return QString();
    return VideoDecoder::tr("Screenshot Failed: the folder %1 cannot be created (%2)")
        .arg(QDir::toNativeSeparators(folder), QString::fromStdString(error.message()));
}

// Runs on the thread pool; owns and releases the frame reference. An empty text is success.
QString saveScreenshot(AVFrame *frame, const QString &folder, const QString &serial,
                       ScreenshotConverter &converter)
{
    const QImage image = converter.convert(frame);
    av_frame_free(&frame);
    if (image.isNull())
        return failed();
    const QString folderError = ensureScreenshotFolder(folder);
    if (!folderError.isEmpty())
        return folderError;
    // Two shots in the same second differ only in the random part: never overwrite one.
    QString path = folder + VideoDecoder::screenshotFileName(serial);
    for (int attempt = 0; attempt < 32 && QFileInfo::exists(path); ++attempt)
        path = folder + VideoDecoder::screenshotFileName(serial);
    if (QFileInfo::exists(path))
        return failed();
    QImageWriter writer(path, "JPEG");
    writer.setQuality(VideoDecoder::JpegQuality);
    if (writer.write(image))
        return QString();
    QFile::remove(path); // no half-written picture
    return VideoDecoder::tr("Screenshot Failed: %1 cannot be written (%2)")
        .arg(QDir::toNativeSeparators(path), writer.errorString());
}

} // namespace

VideoDecoder::VideoDecoder(const QString &serial, QObject *parent)
    : QObject(parent), m_frame(av_frame_alloc()), m_serial(serial),
      m_converter(std::make_shared<ScreenshotConverter>())
{}

VideoDecoder::~VideoDecoder()
{
    av_frame_free(&m_frame);
    av_frame_free(&m_lastFrame);
    sws_freeContext(m_downloadConverter);
}

void VideoDecoder::setDemuxer(VideoDemuxer *demuxer)
{
    m_demuxer = demuxer;
}

void VideoDecoder::decode(AVPacket *packet)
{
    AVCodecContext *context = m_demuxer ? m_demuxer->codecContext() : nullptr;
    if (!context || !m_frame)
        return;
    int result = avcodec_send_packet(context, packet);
    if (result == AVERROR(EAGAIN)) {
        // The decoder holds frames nobody fetched yet: hand them on, then retry.
        if (!drain())
            return;
        result = avcodec_send_packet(context, packet);
    }
    if (result < 0)
        return;
    drain();
}

bool VideoDecoder::drain()
{
    const QPointer<VideoDecoder> alive(this);
    for (;;) {
        AVCodecContext *context = m_demuxer ? m_demuxer->codecContext() : nullptr;
        if (!context || avcodec_receive_frame(context, m_frame) < 0)
            return true;
        AVFrame *frame = m_frame;
        AVFrame *downloaded = nullptr;
        if (HardwareDecoding::isHardwareFrame(m_frame)) {
            downloaded = HardwareDecoding::download(m_frame, &m_downloadConverter);
            av_frame_unref(m_frame);
            if (!downloaded)
                continue; // lost in the copy back: like a frame that failed to decode
            frame = downloaded;
        }
        if (frame->width >= 1 && frame->height >= 1)
            keepLastFrame(frame);
        emit frameDecoded(frame);
        if (!alive) {
            av_frame_free(&downloaded);
            return false; // a receiver ended the session
        }
        av_frame_free(&downloaded);
        av_frame_unref(m_frame);
    }
}

void VideoDecoder::keepLastFrame(const AVFrame *frame)
{
    QMutexLocker locker(&m_lastFrameMutex);
    if (!m_lastFrame)
        m_lastFrame = av_frame_alloc();
    if (!m_lastFrame)
        return;
    av_frame_unref(m_lastFrame);
    av_frame_ref(m_lastFrame, frame);
}

QString VideoDecoder::screenshotFileName(const QString &serial)
{
    const QString time = QDateTime::currentDateTime().toString("yyyyMMdd_hhmmss");
    const int random = QRandomGenerator::global()->bounded(1000, 9999);
    return FileNames::fit(serial, QString("_%1_%2.jpg").arg(time, QString::number(random)));
}

namespace {
// A pool thread that takes this task from the queue right after its previous one is ordered
// after the caller only by the pool's lock inside Qt, which a thread checker cannot see; the
// task's own lock orders its input for it too.
class ScreenshotTask : public QRunnable
{
public:
    ScreenshotTask(AVFrame *shot, QString folder, QString serial,
                   std::shared_ptr<ScreenshotConverter> converter)
        : m_shot(shot), m_folder(std::move(folder)), m_serial(std::move(serial)),
          m_converter(std::move(converter))
    {
        m_result.reportStarted();
    }
    QFuture<QString> future() { return m_result.future(); }
    void handOver() { std::lock_guard<std::mutex> lock(handOverMutex()); }
    void run() override
    {
        handOver();
        m_result.reportResult(saveScreenshot(m_shot, m_folder, m_serial, *m_converter));
        m_result.reportFinished();
    }

private:
    static std::mutex &handOverMutex()
    {
        static std::mutex mutex;
        return mutex;
    }

    AVFrame *m_shot;
    QString m_folder;
    QString m_serial;
    std::shared_ptr<ScreenshotConverter> m_converter;
    QFutureInterface<QString> m_result;
};
} // namespace

QFuture<QString> VideoDecoder::takeScreenshot()
{
    AVFrame *shot = nullptr;
    {
        QMutexLocker locker(&m_lastFrameMutex);
        if (m_lastFrame && m_lastFrame->width >= 1) {
            shot = av_frame_alloc();
            if (shot && av_frame_ref(shot, m_lastFrame) < 0)
                av_frame_free(&shot);
        }
    }
    if (!shot)
        return QtFuture::makeReadyFuture(failed());

    auto *task = new ScreenshotTask(shot, screenshotFolder(), m_serial, m_converter);
    QFuture<QString> saved = task->future();
    task->handOver();
    QThreadPool::globalInstance()->start(task);
    return saved;
}

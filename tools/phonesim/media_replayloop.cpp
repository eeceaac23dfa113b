#include "media_replayloop.h"

#include "media_annexb.h"
#include "media_h264encoder.h"
#include "media_log.h"
#include "screenpainter.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSaveFile>

#include <atomic>
#include <map>
#include <mutex>

namespace {

constexpr quint32 kMagic = 0x50534c50; // "PSLP"
constexpr quint32 kFormatVersion = 1;
// Long enough for the slowest loop (1080x2400 at 60 fps) to be encoded by another process.
constexpr int kLockWaitMs = 120000;

bool hasNal(const QByteArray &stream, int type)
{
    for (const AnnexB::NalUnit &unit : AnnexB::nalUnits(stream)) {
        if (unit.type == type)
            return true;
    }
    return false;
}

} // namespace

bool ReplayLoop::isPlayable() const
{
    if (size.width() < 16 || size.height() < 16 || fps <= 0 || bitRate <= 0)
        return false;
    if (int(frames.size()) != frameCount(fps))
        return false;
    if (!hasNal(parameterSets, AnnexB::Sps) || !hasNal(parameterSets, AnnexB::Pps))
        return false;
    if (!hasNal(frames.front(), AnnexB::IdrSlice))
        return false;
    for (const QByteArray &frame : frames) {
        if (frame.isEmpty())
            return false;
    }
    return true;
}

ReplayLoop ReplayLoop::encode(const QSize &size, int fps, int bitRate)
{
    ReplayLoop loop;
    const int count = frameCount(fps);
    // No key frame inside the loop: only the opening IDR.
    H264Encoder encoder({size, fps, bitRate, count + 1});
    if (!encoder.isOpen())
        return loop;
    ScreenPainter painter;
    painter.setLines({QStringLiteral("phonesim replay"),
                      QStringLiteral("%1x%2 %3fps").arg(size.width()).arg(size.height()).arg(fps),
                      QStringLiteral("loop frame %frame")});
    for (int i = 0; i < count; ++i) {
        const PlanarImage picture = encoder.picture();
        if (!picture.planes[0])
            return loop;
        painter.paint(picture, i, count);
        QByteArray accessUnit;
        bool keyFrame = false;
        if (!encoder.encode(i == 0, &accessUnit, &keyFrame) || keyFrame != (i == 0))
            return loop;
        loop.frames.push_back(accessUnit);
    }
    loop.size = size;
    loop.fps = fps;
    loop.bitRate = bitRate;
    loop.parameterSets = encoder.parameterSets();
    return loop;
}

QByteArray ReplayLoop::serialize() const
{
    QByteArray body;
    {
        QDataStream out(&body, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_0);
        out << qint32(size.width()) << qint32(size.height()) << qint32(fps) << qint32(bitRate)
            << parameterSets << quint32(frames.size());
        for (const QByteArray &frame : frames)
            out << frame;
    }
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << kMagic << kFormatVersion << body
        << QCryptographicHash::hash(body, QCryptographicHash::Sha1);
    return bytes;
}

std::optional<ReplayLoop> ReplayLoop::deserialize(const QByteArray &bytes)
{
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0, version = 0;
    QByteArray body, hash;
    in >> magic >> version;
    if (in.status() != QDataStream::Ok || magic != kMagic || version != kFormatVersion)
        return std::nullopt;
    in >> body >> hash;
    if (in.status() != QDataStream::Ok || !in.atEnd() ||
        hash != QCryptographicHash::hash(body, QCryptographicHash::Sha1))
        return std::nullopt;

    QDataStream bodyIn(body);
    bodyIn.setVersion(QDataStream::Qt_6_0);
    ReplayLoop loop;
    qint32 width = 0, height = 0;
    quint32 count = 0;
    bodyIn >> width >> height >> loop.fps >> loop.bitRate >> loop.parameterSets >> count;
    // A sane bound before reserving: a loop is a few seconds long.
    if (bodyIn.status() != QDataStream::Ok || count > 100000)
        return std::nullopt;
    loop.size = QSize(width, height);
    loop.frames.resize(count);
    for (QByteArray &frame : loop.frames)
        bodyIn >> frame;
    if (bodyIn.status() != QDataStream::Ok || !bodyIn.atEnd() || !loop.isPlayable())
        return std::nullopt;
    return loop;
}

namespace ReplayLoopCache {

namespace {

std::mutex &cacheMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::atomic<int> encodedCount{0};

std::map<QString, std::weak_ptr<const ReplayLoop>> &sharedLoops()
{
    static std::map<QString, std::weak_ptr<const ReplayLoop>> loops;
    return loops;
}

std::optional<ReplayLoop> load(const QString &path, const QSize &size, int fps, int bitRate)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    std::optional<ReplayLoop> loop = ReplayLoop::deserialize(file.readAll());
    if (loop && (loop->size != size || loop->fps != fps || loop->bitRate != bitRate))
        return std::nullopt;
    return loop;
}

void save(const QString &path, const ReplayLoop &loop)
{
    // QSaveFile writes a temporary file and renames it, so readers never see half a loop.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(loop.serialize()) < 0 || !file.commit())
        qCWarning(lcSimMedia) << "could not cache the replay loop in" << path << file.errorString();
}

std::optional<ReplayLoop> loadOrEncode(const QString &path, const QSize &size, int fps, int bitRate)
{
    if (std::optional<ReplayLoop> cached = load(path, size, fps, bitRate))
        return cached;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        qCWarning(lcSimMedia) << "cannot create the replay cache folder for" << path;
    // Other simulator processes starting at the same moment wait for this one's loop instead
    // of all encoding the same clip.
    QLockFile lock(path + QStringLiteral(".lock"));
    const bool locked = lock.tryLock(kLockWaitMs);
    if (locked) {
        if (std::optional<ReplayLoop> cached = load(path, size, fps, bitRate))
            return cached;
    }
    ReplayLoop loop = ReplayLoop::encode(size, fps, bitRate);
    ++encodedCount;
    if (!loop.isPlayable())
        return std::nullopt;
    save(path, loop);
    return loop;
}

} // namespace

QString defaultDirectory()
{
    return QDir::temp().filePath(QStringLiteral("phonesim-replay"));
}

QString filePath(const QString &cacheDir, const QSize &size, int fps, int bitRate)
{
    const QString dir = cacheDir.isEmpty() ? defaultDirectory() : cacheDir;
    return QDir(dir).filePath(QStringLiteral("loop-%1x%2-%3fps-%4bps-v%5.bin")
                                  .arg(size.width())
                                  .arg(size.height())
                                  .arg(fps)
                                  .arg(bitRate)
                                  .arg(kFormatVersion));
}

std::shared_ptr<const ReplayLoop> obtain(const QString &cacheDir, const QSize &size, int fps,
                                         int bitRate)
{
    const QString path = filePath(cacheDir, size, fps, bitRate);
    std::lock_guard<std::mutex> guard(cacheMutex());
    std::weak_ptr<const ReplayLoop> &slot = sharedLoops()[path];
    if (std::shared_ptr<const ReplayLoop> loop = slot.lock())
        return loop;
    std::optional<ReplayLoop> loop = loadOrEncode(path, size, fps, bitRate);
    if (!loop)
        return nullptr;
    auto shared = std::make_shared<const ReplayLoop>(std::move(*loop));
    slot = shared;
    return shared;
}

int loopsEncoded()
{
    return encodedCount;
}

} // namespace ReplayLoopCache

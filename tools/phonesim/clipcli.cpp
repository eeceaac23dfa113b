#include "clipcli.h"

#include "fleet.h"
#include "fleetlock.h"
#include "media_clip.h"

#include <QFileInfo>
#include <QSaveFile>

#include <cmath>
#include <cstdio>

namespace {

QString option(const QStringList &args, const QString &name, const QString &fallback = {})
{
    const int index = args.indexOf(name);
    return index >= 0 ? args.value(index + 1) : fallback;
}

int fail(const QString &message)
{
    std::fprintf(stderr, "phonesim: %s\n", qPrintable(message));
    return 1;
}

} // namespace

namespace ClipCli {

int make(const QStringList &args)
{
    const QString usage =
        QStringLiteral("usage: phonesim make-clip --size WxH --out FILE [--fps F] [--bitrate BPS] "
                       "[--seconds S] [--key-interval S]");
    const QString out = option(args, QStringLiteral("--out"));
    BusyClipSettings settings;
    settings.size = parseSize(option(args, QStringLiteral("--size")));
    bool fpsOk = false, rateOk = false, secondsOk = false, keyOk = false;
    settings.fps = option(args, QStringLiteral("--fps"), QStringLiteral("30")).toInt(&fpsOk);
    settings.bitRate =
        option(args, QStringLiteral("--bitrate"), QStringLiteral("4000000")).toInt(&rateOk);
    const double seconds =
        option(args, QStringLiteral("--seconds"), QStringLiteral("10")).toDouble(&secondsOk);
    // Two seconds: several key frames in a short clip, so a loop shows them at work.
    const double keyInterval =
        option(args, QStringLiteral("--key-interval"), QStringLiteral("2")).toDouble(&keyOk);
    if (out.isEmpty() || !settings.size.isValid() || !fpsOk || !rateOk || !secondsOk || !keyOk)
        return fail(usage);
    if (settings.fps < 1 || settings.fps > 240 || settings.bitRate < 10000 || seconds <= 0 ||
        seconds > 3600 || keyInterval <= 0)
        return fail(QStringLiteral("--fps wants 1 to 240, --bitrate at least 10000, --seconds and "
                                   "--key-interval more than 0 (at most an hour)"));
    settings.frames = std::max(1, int(std::lround(seconds * settings.fps)));
    settings.keyFrameInterval = std::max(1, int(std::lround(keyInterval * settings.fps)));

    QString error;
    const std::optional<VideoClip> clip = makeBusyClip(settings, &error);
    if (!clip)
        return fail(error);
    QSaveFile file(out);
    if (!file.open(QIODevice::WriteOnly) || file.write(clip->annexB()) < 0 || !file.commit())
        return fail(QStringLiteral("cannot write %1: %2").arg(out, file.errorString()));
    int keyFrames = 0;
    for (const VideoClip::Frame &frame : clip->frames)
        keyFrames += frame.keyFrame;
    std::printf("%s\t%s\t%d fps\t%d frames\t%d key frames\t%.0f kbit/s\n", qPrintable(out),
                qPrintable(sizeText(clip->size)), clip->fps, int(clip->frames.size()), keyFrames,
                clip->bitRate() / 1000);
    return 0;
}

QString checkedClip(const QString &path, QSize *size, QString *error)
{
    const std::optional<VideoClip> clip = VideoClip::load(path, error);
    if (!clip)
        return {};
    *size = clip->size;
    return QFileInfo(path).absoluteFilePath();
}

int set(const QStringList &args)
{
    const QString home = option(args, QStringLiteral("--home"));
    QStringList rest = args;
    const int homeAt = rest.indexOf(QStringLiteral("--home"));
    if (homeAt >= 0)
        rest.remove(homeAt, std::min(2, int(rest.size()) - homeAt));
    if (home.isEmpty() || rest.size() != 2)
        return fail(QStringLiteral("usage: phonesim set-clip --home DIR SERIAL FILE|none"));
    const QString serial = rest.at(0);
    const bool clear = rest.at(1) == QLatin1String("none");

    QString path;
    QSize size;
    if (!clear) {
        QString error;
        path = checkedClip(rest.at(1), &size, &error);
        if (path.isEmpty())
            return fail(error);
    }
    FleetLock lock(home);
    QString error;
    auto fleet = Fleet::load(home, &error);
    if (!fleet)
        return fail(error);
    const int index = fleet->phoneIndex(serial);
    if (index < 0)
        return fail(QStringLiteral("no phone '%1' in the fleet").arg(serial));
    Phone &phone = fleet->phones[index];
    phone.clip = path;
    if (!fleet->save(&error))
        return fail(error);
    std::printf("%s\t%s\n", qPrintable(phone.serial),
                qPrintable(sizeText(clear ? phone.size : size)));
    return 0;
}

} // namespace ClipCli

#pragma once
// A reader of recordings, built on Debian's ffprobe and ffmpeg.
#include "h264teststream.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace RecordingReader {

// One packet of a recording as ffprobe reports it (times in the track's units, ms for mkv).
struct ProbedPacket
{
    qint64 pts = 0, duration = 0, size = 0;
    bool key = false;
};

struct ProbedTrack
{
    QString codec, type;
    QVector<ProbedPacket> packets;
};

struct Probe
{
    bool ok = false;
    QString error;
    QVector<ProbedTrack> tracks;
    qint64 durationMs = -1; // the file's duration: the end of its last packet

    const ProbedTrack *track(const QString &type) const
    {
        for (const ProbedTrack &t : tracks)
            if (t.type == type)
                return &t;
        return nullptr;
    }
};

inline Probe probe(const QString &file)
{
    Probe result;
    QProcess ffprobe;
    ffprobe.start("ffprobe", {"-v", "error", "-show_entries",
                              "stream=index,codec_name,codec_type:packet=stream_index,pts,"
                              "duration,size,flags:format=duration",
                              "-of", "json", file});
    if (!ffprobe.waitForFinished(30000) || ffprobe.exitCode() != 0) {
        result.error = QString::fromLocal8Bit(ffprobe.readAllStandardError());
        return result;
    }
    const QJsonObject root = QJsonDocument::fromJson(ffprobe.readAllStandardOutput()).object();
    const QJsonValue duration = root["format"]["duration"];
    if (!duration.isUndefined())
        result.durationMs = qRound64(duration.toVariant().toDouble() * 1000);
    const QJsonArray streams = root["streams"].toArray();
    result.tracks.resize(streams.size());
    for (const QJsonValue &stream : streams) {
        const int index = stream["index"].toInt();
        if (index >= 0 && index < result.tracks.size())
            result.tracks[index] = {
                stream["codec_name"].toString(), stream["codec_type"].toString(), {}};
    }
    for (const QJsonValue &p : root["packets"].toArray()) {
        const int index = p["stream_index"].toInt();
        const auto number = [&p](const char *key) { return p[key].toVariant().toLongLong(); };
        if (index >= 0 && index < result.tracks.size())
            result.tracks[index].packets
                << ProbedPacket{number("pts"), number("duration"), number("size"),
                                p["flags"].toString().contains('K')};
    }
    result.ok = true;
    return result;
}

// The decoder's complaints about the file (empty: clean), and its video frames' sizes.
inline QString decodeErrors(const QString &file, QVector<QSize> *frameSizes = nullptr)
{
    QProcess ffprobe;
    ffprobe.start("ffprobe", {"-v", "error", "-show_entries", "frame=media_type,width,height",
                              "-of", "csv=p=0", file});
    if (!ffprobe.waitForFinished(60000))
        return QStringLiteral("ffprobe did not finish");
    QString errors = QString::fromLocal8Bit(ffprobe.readAllStandardError()).trimmed();
    if (ffprobe.exitCode() != 0 && errors.isEmpty())
        errors = QStringLiteral("ffprobe failed");
    // Decoding it as a player does also checks each track's timestamps.
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-i", file, "-f", "null", "-"});
    ffmpeg.closeWriteChannel();
    if (!ffmpeg.waitForFinished(60000))
        return QStringLiteral("ffmpeg did not finish");
    errors += QString::fromLocal8Bit(ffmpeg.readAllStandardError()).trimmed();
    if (frameSizes) {
        for (const QByteArray &line : ffprobe.readAllStandardOutput().split('\n')) {
            // The first frame after a size change has more fields.
            const QList<QByteArray> parts = line.trimmed().split(',');
            if (parts.size() >= 3 && parts[0] == "video")
                *frameSizes << QSize(parts[1].toInt(), parts[2].toInt());
        }
    }
    return errors;
}

// Why the recording would not play whole from a key frame with at least `frames` frames.
inline QString playProblem(const QString &file, int frames)
{
    const Probe probed = probe(file);
    const ProbedTrack *video = probed.track("video");
    if (!video || video->packets.isEmpty())
        return QStringLiteral("no video in %1 %2").arg(file, probed.error);
    QVector<QSize> decoded;
    const QString errors = decodeErrors(file, &decoded);
    if (!errors.isEmpty() || !video->packets.first().key || decoded.size() < frames ||
        decoded.size() != video->packets.size())
        return QString::asprintf("%d packets, first key %d, %d decoded, %d wanted: %s",
                                 int(video->packets.size()), video->packets.first().key,
                                 int(decoded.size()), frames, qPrintable(errors));
    return QString();
}

} // namespace RecordingReader

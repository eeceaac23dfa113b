#pragma once
// A reader of recordings, built on Debian's ffprobe and ffmpeg.
#include "h264teststream.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QVector>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace RecordingReader {

using PacketPtr = AVPacketPtr;

// One packet of a recording as ffprobe reports it (times in the track's units, ms for mkv).
struct ProbedPacket
{
    qint64 pts = 0;
    qint64 duration = 0;
    qint64 size = 0;
    bool key = false;
};

struct ProbedTrack
{
    QString codec;
    QString type;
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
    ffprobe.start(QStringLiteral("ffprobe"),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                   QStringLiteral("stream=index,codec_name,codec_type:packet=stream_index,pts,"
                                  "duration,size,flags:format=duration"),
                   QStringLiteral("-of"), QStringLiteral("json"), file});
    if (!ffprobe.waitForFinished(30000) || ffprobe.exitCode() != 0) {
        result.error = QString::fromLocal8Bit(ffprobe.readAllStandardError());
        return result;
    }
    const QJsonObject root = QJsonDocument::fromJson(ffprobe.readAllStandardOutput()).object();
    const QJsonValue duration =
        root.value(QStringLiteral("format")).toObject().value(QStringLiteral("duration"));
    if (!duration.isUndefined())
        result.durationMs = qRound64(duration.toVariant().toDouble() * 1000);
    const QJsonArray streams = root.value(QStringLiteral("streams")).toArray();
    result.tracks.resize(streams.size());
    for (const QJsonValue &stream : streams) {
        const QJsonObject s = stream.toObject();
        const int index = s.value(QStringLiteral("index")).toInt();
        if (index < 0 || index >= result.tracks.size())
            continue;
        result.tracks[index].codec = s.value(QStringLiteral("codec_name")).toString();
        result.tracks[index].type = s.value(QStringLiteral("codec_type")).toString();
    }
    for (const QJsonValue &packet : root.value(QStringLiteral("packets")).toArray()) {
        const QJsonObject p = packet.toObject();
        const int index = p.value(QStringLiteral("stream_index")).toInt();
        if (index < 0 || index >= result.tracks.size())
            continue;
        ProbedPacket probed;
        probed.pts = p.value(QStringLiteral("pts")).toVariant().toLongLong();
        probed.duration = p.value(QStringLiteral("duration")).toVariant().toLongLong();
        probed.size = p.value(QStringLiteral("size")).toVariant().toLongLong();
        probed.key = p.value(QStringLiteral("flags")).toString().contains(QLatin1Char('K'));
        result.tracks[index].packets << probed;
    }
    result.ok = true;
    return result;
}

// Decodes every track of the file; returns the decoder's complaints (empty when it decodes
// cleanly) and the sizes of the decoded video frames in order.
inline QString decodeErrors(const QString &file, QVector<QSize> *frameSizes = nullptr)
{
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                   QStringLiteral("frame=media_type,width,height"), QStringLiteral("-of"),
                   QStringLiteral("csv=p=0"), file});
    if (!ffprobe.waitForFinished(60000))
        return QStringLiteral("ffprobe did not finish");
    QString errors = QString::fromLocal8Bit(ffprobe.readAllStandardError()).trimmed();
    if (ffprobe.exitCode() != 0 && errors.isEmpty())
        errors = QStringLiteral("ffprobe failed");
    // Decoding it as a player does also checks each track's timestamps.
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), file,
                  QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")});
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

// Why the recording would not play whole from a key frame with at least `frames` video
// frames; empty when it does.
inline QString playProblem(const QString &file, int frames)
{
    const Probe probed = probe(file);
    const ProbedTrack *video = probed.track(QStringLiteral("video"));
    if (!video || video->packets.isEmpty())
        return QStringLiteral("no video in %1 %2").arg(file, probed.error);
    QVector<QSize> decoded;
    const QString errors = decodeErrors(file, &decoded);
    if (!errors.isEmpty() || !video->packets.first().key || decoded.size() < frames ||
        decoded.size() != video->packets.size())
        return QStringLiteral("%1 packets, first key %2, %3 decoded, %4 wanted: %5")
            .arg(video->packets.size())
            .arg(video->packets.first().key)
            .arg(decoded.size())
            .arg(frames)
            .arg(errors);
    return QString();
}

} // namespace RecordingReader

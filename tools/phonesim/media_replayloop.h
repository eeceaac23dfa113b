#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

// A short encoded clip of the synthetic screen that many virtual phones can stream over and
// over at almost no cost. It opens with an IDR, so every repetition is decodable on its own.
struct ReplayLoop
{
    static constexpr int kSeconds = 2;

    QSize size;
    int fps = 0;
    int bitRate = 0;
    QByteArray parameterSets;
    std::vector<QByteArray> frames; // frames[0] is the IDR

    static int frameCount(int fps) { return std::max(2, fps * kSeconds); }
    // Consistent with its own description and fit to play from the start.
    bool isPlayable() const;

    static ReplayLoop encode(const QSize &size, int fps, int bitRate);
    QByteArray serialize() const;
    static std::optional<ReplayLoop> deserialize(const QByteArray &bytes);
};

// Loops shared inside the process and kept as files under a cache folder, so that concurrent
// simulator processes encode each (size, fps, bit rate) once.
namespace ReplayLoopCache {
QString defaultDirectory();
QString filePath(const QString &cacheDir, const QSize &size, int fps, int bitRate);
// Null when the loop can be neither loaded nor encoded.
std::shared_ptr<const ReplayLoop> obtain(const QString &cacheDir, const QSize &size, int fps,
                                         int bitRate);
// How many loops this process has encoded itself rather than found cached.
int loopsEncoded();
} // namespace ReplayLoopCache

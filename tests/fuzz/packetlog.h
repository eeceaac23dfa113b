#pragma once
// A demuxer that writes down every packet it hands on, for comparing two runs.
#include "fuzzsupport.h"

#include <tuple>

extern "C" {
#include <libavcodec/packet.h>
}

// data, pts, dts, flags
using LoggedPacket = std::tuple<QByteArray, qint64, qint64, int>;

// Made before the demuxer that reads from it.
struct SocketHolder
{
    FeedDevice socket;
};

// Reads `reads` as they are given, then lets queued reads finish what a full read left over.
template<class Demuxer> class LoggingDemuxer : private SocketHolder, public Demuxer
{
public:
    template<class... Args>
    explicit LoggingDemuxer(const QList<QByteArray> &reads, Args... args)
        : Demuxer(&socket, nullptr, nullptr, args...)
    {
        for (const QByteArray &bytes : reads)
            socket.feed(bytes);
        for (qsizetype before = -1; before != packets.size();) {
            before = packets.size();
            Fuzz::drainEvents(1);
        }
    }
    QList<LoggedPacket> packets;

protected:
    void handOn(AVPacket *packet) override
    {
        packets.append({QByteArray(reinterpret_cast<const char *>(packet->data), packet->size),
                        packet->pts, packet->dts, packet->flags});
    }
};

// The same header and packets from both, none over `largest` bytes.
template<class Demuxer>
void checkSamePackets(const LoggingDemuxer<Demuxer> &whole, const LoggingDemuxer<Demuxer> &pieces,
                      qsizetype largest)
{
    FUZZ_CHECK(pieces.isHeaderRead() == whole.isHeaderRead(), {});
    FUZZ_CHECK(pieces.deviceName() == whole.deviceName(), pieces.deviceName());
    FUZZ_CHECK(pieces.codecId() == whole.codecId(), {});
    FUZZ_CHECK(pieces.packets == whole.packets,
               QStringLiteral("%1 vs %2").arg(pieces.packets.size()).arg(whole.packets.size()));
    for (const auto &[data, pts, dts, flags] : whole.packets) {
        FUZZ_CHECK(data.size() >= 1 && data.size() <= largest, {});
        FUZZ_CHECK(pts == dts, {});
    }
}

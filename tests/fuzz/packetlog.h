#pragma once
// A demuxer that writes down every packet it hands on, for comparing two runs.
#include "fuzzsupport.h"

#include <QByteArray>
#include <QList>

extern "C" {
#include <libavcodec/packet.h>
}

struct LoggedPacket
{
    QByteArray data;
    qint64 pts = 0;
    qint64 dts = 0;
    int flags = 0;

    bool operator==(const LoggedPacket &other) const
    {
        return data == other.data && pts == other.pts && dts == other.dts && flags == other.flags;
    }
};

template<class Demuxer> class LoggingDemuxer : public Demuxer
{
public:
    using Demuxer::Demuxer;
    QList<LoggedPacket> packets;

protected:
    void handOn(AVPacket *packet) override
    {
        packets.append({QByteArray(reinterpret_cast<const char *>(packet->data), packet->size),
                        packet->pts, packet->dts, packet->flags});
    }
};

// Feeds the reads, then lets queued reads finish what a full read left over.
template<class Demuxer>
void feedAndDrain(LoggingDemuxer<Demuxer> &demuxer, Fuzz::FeedDevice &socket,
                  const QList<QByteArray> &reads)
{
    for (const QByteArray &bytes : reads)
        socket.feed(bytes);
    for (qsizetype before = -1; before != demuxer.packets.size();) {
        before = demuxer.packets.size();
        Fuzz::drainEvents(1);
    }
}

// Both demuxers read the same header and handed on the same packets.
template<class Demuxer>
void checkSamePackets(const LoggingDemuxer<Demuxer> &whole, const LoggingDemuxer<Demuxer> &pieces)
{
    FUZZ_CHECK(pieces.isHeaderRead() == whole.isHeaderRead(), {});
    FUZZ_CHECK(pieces.deviceName() == whole.deviceName(), pieces.deviceName());
    FUZZ_CHECK(pieces.codecId() == whole.codecId(), {});
    FUZZ_CHECK(pieces.packets == whole.packets,
               QStringLiteral("%1 vs %2").arg(pieces.packets.size()).arg(whole.packets.size()));
}

#pragma once
// Demuxers that remember every packet they hand on, for tests.
#include <QByteArray>
#include <QVector>

extern "C" {
#include <libavcodec/packet.h>
}

struct SeenPacket
{
    QByteArray data;
    qint64 pts = 0;
    qint64 dts = 0;
    int flags = 0;
};

template<class Demuxer> class RecordingDemuxer : public Demuxer
{
public:
    using Demuxer::Demuxer;
    QVector<SeenPacket> packets;

protected:
    void handOn(AVPacket *packet) override
    {
        packets.append({QByteArray(reinterpret_cast<const char *>(packet->data), packet->size),
                        packet->pts, packet->dts, packet->flags});
        Demuxer::handOn(packet);
    }
};

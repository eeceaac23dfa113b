// The video connection in reads of any sizes: the demuxer must hand on exactly the
// packets it hands on when everything arrives in one read, each framed as promised.
#include "fuzzsupport.h"
#include "packetlog.h"
#include "videodemuxer.h"

extern "C" {
#include <libavutil/avutil.h>
}

namespace {
using Demuxer = LoggingDemuxer<VideoDemuxer>;

bool beginsWithStartCode(const QByteArray &data)
{
    return data.size() >= 4 && data.at(0) == 0 && data.at(1) == 0 &&
           (data.at(2) == 0 || data.at(2) == 1 || data.at(3) == 1);
}
} // namespace

PARVIX_FUZZ_TARGET(false)
{
    const Fuzz::ChunkedInput input = Fuzz::ChunkedInput::split(data, size);

    Fuzz::FeedDevice wholeSocket;
    Demuxer whole(&wholeSocket, nullptr, nullptr);
    feedAndDrain(whole, wholeSocket, {input.stream});

    Fuzz::FeedDevice pieceSocket;
    Demuxer pieces(&pieceSocket, nullptr, nullptr);
    feedAndDrain(pieces, pieceSocket, input.reads());

    FUZZ_CHECK(whole.isHeaderRead() == (input.stream.size() >= VideoDemuxer::HeaderSize), {});
    checkSamePackets(whole, pieces);
    FUZZ_CHECK(pieces.width() == whole.width() && pieces.height() == whole.height(), {});
    for (qsizetype i = 0; i < whole.packets.size(); ++i) {
        const LoggedPacket &packet = whole.packets.at(i);
        // A payload can never exceed the bytes received (plus an added start code).
        FUZZ_CHECK(packet.data.size() >= 1 && packet.data.size() <= input.stream.size() + 4, {});
        FUZZ_CHECK(packet.data.size() <= 4 || beginsWithStartCode(packet.data), {});
        FUZZ_CHECK(packet.pts == packet.dts, {});
        FUZZ_CHECK(packet.pts == AV_NOPTS_VALUE || packet.pts >= 0, QString::number(packet.pts));
    }
}

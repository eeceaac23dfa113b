// The audio connection in reads of any sizes, with and without the device-name field:
// the demuxer must hand on exactly the packets it hands on when everything arrives in
// one read.
#include "audiodemuxer.h"
#include "fuzzsupport.h"
#include "packetlog.h"

extern "C" {
#include <libavutil/avutil.h>
}

namespace {
using Demuxer = LoggingDemuxer<AudioDemuxer>;
} // namespace

PARVIX_FUZZ_TARGET(false)
{
    const Fuzz::ChunkedInput input = Fuzz::ChunkedInput::split(data, size);
    // Bit 4 of the first byte: the connection is the session's first and opens with the
    // device name.
    const bool nameFieldFirst = size > 0 && (data[0] & 0x10);

    Fuzz::FeedDevice wholeSocket;
    Demuxer whole(&wholeSocket, nullptr, nullptr, nameFieldFirst);
    feedAndDrain(whole, wholeSocket, {input.stream});

    Fuzz::FeedDevice pieceSocket;
    Demuxer pieces(&pieceSocket, nullptr, nullptr, nameFieldFirst);
    feedAndDrain(pieces, pieceSocket, input.reads());

    const int headerSize =
        (nameFieldFirst ? AudioDemuxer::NameFieldSize : 0) + AudioDemuxer::CodecIdSize;
    FUZZ_CHECK(whole.isHeaderRead() == (input.stream.size() >= headerSize), {});
    checkSamePackets(whole, pieces);
    for (qsizetype i = 0; i < whole.packets.size(); ++i) {
        const LoggedPacket &packet = whole.packets.at(i);
        FUZZ_CHECK(packet.data.size() >= 1 && packet.data.size() <= input.stream.size(), {});
        FUZZ_CHECK(packet.pts == packet.dts, {});
        FUZZ_CHECK((packet.flags & AV_PKT_FLAG_KEY) == 0, {});
    }
}

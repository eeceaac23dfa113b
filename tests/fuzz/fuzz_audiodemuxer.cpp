// The audio connection in reads of any sizes, with or without the name: one read's packets.
#include "audiodemuxer.h"
#include "packetlog.h"

extern "C" {
#include <libavutil/avutil.h>
}

PARVIX_FUZZ_TARGET(false)
{
    const Fuzz::ChunkedInput input = Fuzz::chunked(data, size);
    // Bit 4 of the first byte: the session's first connection, opened by the device name.
    const bool nameFieldFirst = size > 0 && (data[0] & 0x10);
    const LoggingDemuxer<AudioDemuxer> whole({input.stream}, nameFieldFirst);
    const LoggingDemuxer<AudioDemuxer> pieces(input.reads, nameFieldFirst);
    const int headerSize =
        (nameFieldFirst ? AudioDemuxer::NameFieldSize : 0) + AudioDemuxer::CodecIdSize;
    FUZZ_CHECK(whole.isHeaderRead() == (input.stream.size() >= headerSize), {});
    checkSamePackets(whole, pieces, input.stream.size());
    for (const LoggedPacket &packet : whole.packets)
        FUZZ_CHECK((std::get<3>(packet) & AV_PKT_FLAG_KEY) == 0, {});
}

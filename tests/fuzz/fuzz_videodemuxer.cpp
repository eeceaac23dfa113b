// The video connection in reads of any sizes: exactly one read's packets, framed as promised.
#include "packetlog.h"
#include "videodemuxer.h"

extern "C" {
#include <libavutil/avutil.h>
}

PARVIX_FUZZ_TARGET(false)
{
    const Fuzz::ChunkedInput input = Fuzz::chunked(data, size);
    const LoggingDemuxer<VideoDemuxer> whole({input.stream});
    const LoggingDemuxer<VideoDemuxer> pieces(input.reads);
    FUZZ_CHECK(whole.isHeaderRead() == (input.stream.size() >= VideoDemuxer::HeaderSize), {});
    // A payload never exceeds the bytes received, plus an added start code.
    checkSamePackets(whole, pieces, input.stream.size() + 4);
    FUZZ_CHECK(pieces.width() == whole.width() && pieces.height() == whole.height(), {});
    for (const auto &[d, pts, dts, flags] : whole.packets) {
        const bool startCode = d.size() >= 4 && d.at(0) == 0 && d.at(1) == 0 &&
                               (d.at(2) == 0 || d.at(2) == 1 || d.at(3) == 1);
        FUZZ_CHECK(d.size() <= 4 || startCode, {});
        FUZZ_CHECK(pts == AV_NOPTS_VALUE || pts >= 0, QString::number(pts));
    }
}

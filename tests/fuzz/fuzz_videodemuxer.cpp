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

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::initApplication(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Fuzz::ChunkedInput input = Fuzz::ChunkedInput::split(data, size);

    Fuzz::FeedDevice wholeSocket;
    Demuxer whole(&wholeSocket, nullptr, nullptr);
    feedAndDrain(whole, wholeSocket, {input.stream});

    Fuzz::FeedDevice pieceSocket;
    Demuxer pieces(&pieceSocket, nullptr, nullptr);
    feedAndDrain(pieces, pieceSocket, input.reads());

    FUZZ_CHECK(whole.isHeaderRead() == (input.stream.size() >= VideoDemuxer::HeaderSize), {});
    FUZZ_CHECK(pieces.isHeaderRead() == whole.isHeaderRead(), {});
    FUZZ_CHECK(pieces.deviceName() == whole.deviceName(), pieces.deviceName());
    FUZZ_CHECK(pieces.codecId() == whole.codecId(), {});
    FUZZ_CHECK(pieces.width() == whole.width() && pieces.height() == whole.height(), {});
    FUZZ_CHECK(pieces.packets.size() == whole.packets.size(),
               QStringLiteral("%1 vs %2").arg(pieces.packets.size()).arg(whole.packets.size()));
    for (qsizetype i = 0; i < whole.packets.size(); ++i) {
        const LoggedPacket &packet = whole.packets.at(i);
        FUZZ_CHECK(pieces.packets.at(i) == packet, QString::number(i));
        // A payload can never exceed the bytes received (plus an added start code).
        FUZZ_CHECK(packet.data.size() >= 1 && packet.data.size() <= input.stream.size() + 4, {});
        FUZZ_CHECK(packet.data.size() <= 4 || beginsWithStartCode(packet.data), {});
        FUZZ_CHECK(packet.pts == packet.dts, {});
        FUZZ_CHECK(packet.pts == AV_NOPTS_VALUE || packet.pts >= 0, QString::number(packet.pts));
    }
    return 0;
}

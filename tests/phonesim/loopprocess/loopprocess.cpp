// One simulator process's view of the replay cache, started several times at once by
// PhonesimMediaTest: opens a replay source on the given cache folder and prints how many loops
// it had to encode and what the first access unit looks like.
#include "media_replayloop.h"
#include "videosource.h"

#include <QCryptographicHash>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    VideoOptions options;
    options.physicalSize = QSize(1080, 2400);
    options.maxSize = 480;
    options.maxFps = 30;
    options.replay = true;
    options.cacheDir = QString::fromLocal8Bit(argv[1]);
    VideoSource source(options);
    if (!source.isValid())
        return 1;
    const std::vector<EncodedPacket> packets = source.nextFrame(0);
    if (packets.size() != 2)
        return 1;
    const QByteArray digest =
        QCryptographicHash::hash(packets[1].data, QCryptographicHash::Sha1).toHex();
    std::printf("%d %s\n", ReplayLoopCache::loopsEncoded(), digest.constData());
    return 0;
}

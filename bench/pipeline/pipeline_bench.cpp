// Throughput of one phone's video path on one core, beside FFmpeg's bare decode of the same
// stream, and the resident memory one running device adds. The streams come from the virtual
// phone in replay mode through a real session. Prints figures only.
#include "device.h"
#include "media_clip.h"
#include "scrcpyserver.h"
#include "serverparams.h"
#include "testsupport.h"
#include "videodecoder.h"
#include "videodemuxer.h"
#include "videoframefeed.h"
#include "virtualfleet.h"
#include "yuvvideoitem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <cstring>
#include <ctime>
#include <memory>
#include <unistd.h>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

namespace {
constexpr int kPhoneFps = 30;
constexpr int kCaptureFrames = 240; // four passes of the phone's two-second loop
constexpr int kLoops = 5;           // the captured stream is sent this many times per run
constexpr int kLiveSeconds = 6;
constexpr int kDevicesForMemory = 8;
constexpr int kVideoHeaderBytes = 76;

struct Packet
{
    QByteArray payload;
    quint64 ptsAndFlags = 0;
};

// What one video connection carried: the stream header and the framed packets after it.
struct Stream
{
    QSize size;
    QByteArray header;
    QByteArray framed; // every packet with its 12-byte frame header
    std::vector<Packet> packets;
    int pictures = 0; // packets that are not parameter sets
};

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

qint64 residentBytes()
{
    FILE *statm = std::fopen("/proc/self/statm", "r");
    long pages = 0, resident = 0;
    if (statm) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return qint64(resident) * sysconf(_SC_PAGESIZE);
}

// Sleeps in the event loop between events: processEvents() with a time limit never waits,
// and its spinning would be counted as the pipeline's CPU.
bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    QTimer tick;
    tick.start(50);
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Splits framed bytes into whole packets; returns how many bytes were used.
qsizetype splitPackets(const QByteArray &bytes, std::vector<Packet> &packets)
{
    qsizetype at = 0;
    while (bytes.size() - at >= 12) {
        const auto *header = reinterpret_cast<const uchar *>(bytes.constData() + at);
        const quint32 size = qFromBigEndian<quint32>(header + 8);
        if (bytes.size() - at - 12 < qsizetype(size))
            break;
        packets.push_back({bytes.mid(at + 12, size), qFromBigEndian<quint64>(header)});
        at += 12 + size;
    }
    return at;
}

ServerParams *configure(ServerParams *params, int bitRate)
{
    params->setMaxSize(0);
    params->setMaxFps(kPhoneFps);
    params->setBitRate(bitRate);
    params->setAudio(false);
    return params;
}

// Records the video connection of a session with the phone, as it arrives on the socket.
Stream capture(const QString &serial, int bitRate)
{
    Stream stream;
    ServerParams params;
    configure(&params, bitRate);
    params.setDeviceSerial(serial);
    params.setSocketName(QStringLiteral("scrcpy_%1").arg(params.scidHex()));
    ScrcpyServer server(nullptr, &params);
    QByteArray received;
    QObject::connect(&server, &ScrcpyServer::videoSocketConnected, &server, [&] {
        QTcpSocket *socket = server.videoSocket();
        QObject::connect(socket, &QTcpSocket::readyRead, &server,
                         [&received, socket] { received += socket->readAll(); });
    });
    bool ended = false;
    QObject::connect(&server, &ScrcpyServer::stopped, &server, [&ended] { ended = true; });
    server.start();
    std::vector<Packet> packets;
    qsizetype parsed = kVideoHeaderBytes;
    waitFor(
        [&] {
            if (ended)
                return true;
            if (received.size() > parsed)
                parsed += splitPackets(received.mid(parsed), packets);
            int pictures = 0;
            for (const Packet &p : packets)
                pictures += (p.ptsAndFlags >> 63) ? 0 : 1;
            return pictures >= kCaptureFrames;
        },
        60000);
    server.stop();
    if (received.size() < kVideoHeaderBytes)
        return stream;
    stream.header = received.left(kVideoHeaderBytes);
    const auto *size = reinterpret_cast<const uchar *>(stream.header.constData() + 68);
    stream.size = QSize(int(qFromBigEndian<quint32>(size)), int(qFromBigEndian<quint32>(size + 4)));
    stream.framed = received.mid(kVideoHeaderBytes, parsed - kVideoHeaderBytes);
    stream.packets = std::move(packets);
    for (const Packet &p : stream.packets)
        stream.pictures += (p.ptsAndFlags >> 63) ? 0 : 1;
    return stream;
}

QByteArray frameHeader(quint64 ptsAndFlags, quint32 size)
{
    char header[12];
    qToBigEndian(ptsAndFlags, header);
    qToBigEndian(size, header + 8);
    return QByteArray(header, 12);
}

// The virtual phone's busy clip at the same size and bit rate, framed as the phone sends it:
// parameter sets as a config packet, then one access unit per frame.
Stream encodeBusyPage(const QSize &size, int bitRate)
{
    Stream stream;
    BusyClipSettings settings;
    settings.size = size;
    settings.fps = kPhoneFps;
    settings.bitRate = bitRate;
    settings.frames = kCaptureFrames;
    settings.keyFrameInterval = 10 * kPhoneFps; // as the phone's encoder
    const std::optional<VideoClip> clip = makeBusyClip(settings, nullptr);
    if (!clip)
        return stream;
    stream.size = size;
    char dimensions[8];
    qToBigEndian(quint32(size.width()), dimensions);
    qToBigEndian(quint32(size.height()), dimensions + 4);
    stream.header =
        QByteArray("busy page").leftJustified(64, '\0') + "h264" + QByteArray(dimensions, 8);
    auto add = [&stream](const QByteArray &payload, quint64 ptsAndFlags) {
        stream.packets.push_back({payload, ptsAndFlags});
        stream.framed += frameHeader(ptsAndFlags, quint32(payload.size())) + payload;
    };
    add(clip->parameterSets, quint64(1) << 63);
    for (size_t i = 0; i < clip->frames.size(); ++i) {
        quint64 flags = quint64(i) * 1000000 / kPhoneFps;
        if (clip->frames[i].keyFrame)
            flags |= quint64(1) << 62;
        add(clip->frames[i].data, flags);
        ++stream.pictures;
    }
    return stream;
}

struct Measure
{
    int frames = 0;
    double wallSeconds = 0;
    double cpuSeconds = 0;
    double fpsPerCore() const { return cpuSeconds > 0 ? frames / cpuSeconds : 0; }
    double fpsWall() const { return wallSeconds > 0 ? frames / wallSeconds : 0; }
};

// FFmpeg alone: the same decoder settings as the demuxer's, packets ready in memory.
Measure bareDecode(const Stream &stream)
{
    Measure m;
    const AVCodec *codec = avcodec_find_decoder_by_name("h264");
    AVCodecContext *context = avcodec_alloc_context3(codec);
    context->flags |= AV_CODEC_FLAG_LOW_DELAY;
    context->flags2 |= AV_CODEC_FLAG2_FAST | AV_CODEC_FLAG2_CHUNKS;
    context->width = stream.size.width();
    context->height = stream.size.height();
    if (avcodec_open2(context, codec, nullptr) < 0) {
        avcodec_free_context(&context);
        return m;
    }
    std::vector<AVPacket *> packets;
    for (const Packet &p : stream.packets) {
        AVPacket *packet = av_packet_alloc();
        av_new_packet(packet, int(p.payload.size()));
        std::memcpy(packet->data, p.payload.constData(), size_t(p.payload.size()));
        packets.push_back(packet);
    }
    AVFrame *frame = av_frame_alloc();
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = threadCpuSeconds();
    for (int loop = 0; loop < kLoops; ++loop) {
        for (AVPacket *packet : packets) {
            if (avcodec_send_packet(context, packet) < 0)
                continue;
            while (avcodec_receive_frame(context, frame) == 0) {
                ++m.frames;
                av_frame_unref(frame);
            }
        }
    }
    m.cpuSeconds = threadCpuSeconds() - cpu0;
    m.wallSeconds = wall.nsecsElapsed() / 1e9;
    for (AVPacket *packet : packets)
        av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&context);
    return m;
}

// The session's video objects wired as the pipeline wires them (decoder -> the device's feed
// and frame size), on a socket the bench feeds; a video item without a window is handed each
// picture as well: it copies the planes and stops there (the render thread's share is not
// counted).
struct FedDevice
{
    std::unique_ptr<Device> device = std::make_unique<Device>(nullptr, QStringLiteral("BENCH0001"));
    std::unique_ptr<YuvVideoItem> item = std::make_unique<YuvVideoItem>();
    int frames = 0;

    FedDevice(QTcpSocket *socket, bool present)
    {
        auto *decoder = new VideoDecoder(device->adbConnectionSerial(), device.get());
        QObject::connect(
            decoder, &VideoDecoder::frameDecoded, device.get(), [this, present](AVFrame *frame) {
                const YuvFrame shared = YuvFrame::share(frame);
                device->videoFeed()->publish(shared);
                device->handleVideoFrameSize(QSize(frame->width, frame->height));
                if (present)
                    item->present(shared.width, shared.height, shared.planes[0], shared.strides[0],
                                  shared.planes[1], shared.strides[1], shared.planes[2],
                                  shared.strides[2]);
                ++frames;
            });
        auto *demuxer = new VideoDemuxer(socket, device->videoRecorder(), decoder, socket);
        decoder->setDemuxer(demuxer);
    }
};

// Sends the captured stream from its own thread, as the phone would, as fast as the reader
// takes it, so the measured thread only receives, frames, decodes and copies.
class PhoneWriter : public QThread
{
public:
    PhoneWriter(quint16 port, QByteArray header, QByteArray loop, int loops)
        : m_port(port), m_header(std::move(header)), m_loop(std::move(loop)), m_loops(loops)
    {}

protected:
    void run() override
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        if (!socket.waitForConnected(5000))
            return;
        socket.write(m_header);
        for (int i = 0; i < m_loops; ++i) {
            for (qsizetype at = 0; at < m_loop.size(); at += 64 * 1024) {
                socket.write(m_loop.mid(at, 64 * 1024));
                while (socket.bytesToWrite() > 256 * 1024)
                    socket.waitForBytesWritten(1000);
            }
        }
        while (socket.bytesToWrite() > 0)
            socket.waitForBytesWritten(1000);
        socket.waitForDisconnected(30000);
    }

private:
    quint16 m_port;
    QByteArray m_header, m_loop;
    int m_loops;
};

Measure floodedPipeline(const Stream &stream, bool present)
{
    Measure m;
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    PhoneWriter writer(server.serverPort(), stream.header, stream.framed, kLoops);
    writer.start();
    if (!server.waitForNewConnection(5000))
        return m;
    QTcpSocket *socket = server.nextPendingConnection();
    FedDevice fed(socket, present);
    const int expected = stream.pictures * kLoops;

    QElapsedTimer wall;
    wall.start();
    const double cpu0 = threadCpuSeconds();
    waitFor([&] { return fed.frames >= expected; }, 120000);
    m.cpuSeconds = threadCpuSeconds() - cpu0;
    m.wallSeconds = wall.nsecsElapsed() / 1e9;
    m.frames = fed.frames;
    socket->disconnectFromHost();
    writer.wait();
    return m;
}

int framesOf(const Device &device)
{
    return int(device.videoFeed()->publishedCount());
}

// A whole session as the user starts it, paced by the phone: the GUI thread's CPU per frame
// (the decoding runs on a media thread and is not counted here).
Measure liveSession(const QString &serial, int bitRate)
{
    Measure m;
    Device device(nullptr, serial);
    configure(device.serverParamsSmallView(), bitRate);
    device.startScrcpySession();
    if (!waitFor([&] { return framesOf(device) >= kPhoneFps; }, 30000))
        return m;
    const int first = framesOf(device);
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = threadCpuSeconds();
    waitFor([&] { return wall.elapsed() >= kLiveSeconds * 1000; }, kLiveSeconds * 2000);
    m.cpuSeconds = threadCpuSeconds() - cpu0;
    m.wallSeconds = wall.nsecsElapsed() / 1e9;
    m.frames = framesOf(device) - first;
    device.stopScrcpySession();
    return m;
}

// Resident memory that running sessions add (each feed holds its newest frame).
double memoryPerDevice(const QStringList &serials, int bitRate)
{
    const qint64 before = residentBytes();
    std::vector<std::unique_ptr<Device>> devices;
    for (const QString &serial : serials) {
        devices.push_back(std::make_unique<Device>(nullptr, serial));
        configure(devices.back()->serverParamsSmallView(), bitRate);
        devices.back()->startScrcpySession();
    }
    const bool allShown = waitFor(
        [&] {
            for (const auto &device : devices)
                if (framesOf(*device) < 2 * kPhoneFps)
                    return false;
            return true;
        },
        90000);
    const qint64 after = residentBytes();
    for (auto &device : devices)
        device->stopScrcpySession();
    devices.clear();
    return allShown ? double(after - before) / serials.size() : -1;
}

struct Throughput
{
    Measure bare, pipe, noCopy;
    double ratio() const
    {
        return pipe.fpsPerCore() > 0 ? bare.fpsPerCore() / pipe.fpsPerCore() : 0;
    }
};

// Best of three: the machine is shared, slower runs only measure the neighbours.
Throughput throughput(const Stream &stream)
{
    Throughput t;
    for (int run = 0; run < 3; ++run) {
        const Measure b = bareDecode(stream);
        const Measure p = floodedPipeline(stream, true);
        const Measure n = floodedPipeline(stream, false);
        if (b.fpsPerCore() > t.bare.fpsPerCore())
            t.bare = b;
        if (p.fpsPerCore() > t.pipe.fpsPerCore())
            t.pipe = p;
        if (n.fpsPerCore() > t.noCopy.fpsPerCore())
            t.noCopy = n;
    }
    if (t.pipe.frames != stream.pictures * kLoops)
        printf("  (the pipeline showed %d of %d frames)\n", t.pipe.frames,
               stream.pictures * kLoops);
    return t;
}

double kbitPerSecond(const Stream &stream)
{
    return stream.framed.size() * 8 / 1000.0 / (double(stream.pictures) / kPhoneFps);
}

void printRow(const QString &label, const Stream &stream, const Throughput &t, const QString &live,
              const QString &memory)
{
    printf("%-30s %8.0f %8.0f %8.0f %6.2fx %7.1f%% %7.0f %16s %10s\n", qPrintable(label),
           t.bare.fpsPerCore(), t.pipe.fpsPerCore(), t.noCopy.fpsPerCore(), t.ratio(),
           (t.ratio() - 1) * 100, kbitPerSecond(stream), qPrintable(live), qPrintable(memory));
    fflush(stdout);
}
} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    av_log_set_level(AV_LOG_ERROR);

    struct Config
    {
        QSize screen;
        int bitRate;
    };
    const std::vector<Config> configs{{QSize(280, 622), 2000000}, {QSize(720, 1600), 4000000}};
    printf("Video pipeline on one core: socket -> demuxer -> decoder -> device -> present\n");
    printf("phone: the virtual phone in replay mode at %d fps, %d frames recorded from a session;\n"
           "page: the virtual phone's busy clip (make-clip) at the same size and bit rate.\n"
           "Each stream is flooded %d times through a socket; memory over %d running sessions.\n\n",
           kPhoneFps, kCaptureFrames, kLoops, kDevicesForMemory);
    printf("%-30s %8s %8s %8s %7s %8s %7s %16s %10s\n", "stream", "bare fps", "pipe fps", "no copy",
           "ratio", "overhead", "kbit/s", "live fps / core", "MiB/device");
    for (const Config &config : configs) {
        VirtualFleet fleet(TestSupport::phonesimPath(),
                           {kDevicesForMemory, config.screen, kPhoneFps, true});
        if (!fleet.isValid()) {
            printf("no virtual phone: %s\n", qPrintable(fleet.errorString()));
            return 1;
        }
        const Stream phone = capture(fleet.serials().first(), config.bitRate);
        const QString size = QString("%1x%2 @ %3 Mbit/s")
                                 .arg(phone.size.width())
                                 .arg(phone.size.height())
                                 .arg(config.bitRate / 1e6);
        if (phone.pictures < kCaptureFrames) {
            printf("phone %-24s recorded only %d frames\n", qPrintable(size), phone.pictures);
            continue;
        }
        const Throughput phoneFigures = throughput(phone);
        const Measure live = liveSession(fleet.serials().first(), config.bitRate);
        const double mib = memoryPerDevice(fleet.serials(), config.bitRate) / (1024.0 * 1024.0);
        printRow("phone " + size, phone, phoneFigures,
                 QString("%1 / %2%")
                     .arg(live.fpsWall(), 0, 'f', 1)
                     .arg(live.wallSeconds > 0 ? 100 * live.cpuSeconds / live.wallSeconds : 0, 0,
                          'f', 1),
                 QString::number(mib, 'f', 1));

        const Stream page = encodeBusyPage(phone.size, config.bitRate);
        if (page.pictures == 0)
            printf("page  %-24s no H.264 encoder available\n", qPrintable(size));
        else
            printRow("page  " + size, page, throughput(page), "-", "-");
    }
    printf(
        "\nbare/pipe/no copy fps = frames per CPU second of the decoding thread, best of three;\n"
        "'no copy' = the pipeline without the video item's plane copy; ratio = bare / pipe.\n"
        "live = a whole session paced by the phone: frames per second decoded / share of one\n"
        "core the GUI thread spent on it (sockets, demuxing and decoding run on a media thread).\n"
        "MiB/device = resident memory added per running session, its newest frame included\n"
        "(the phone processes and the render thread's textures are not counted).\n");
    return 0;
}
